// A figure, not a test: how long a page waits from the library's open() to the capture being
// ready (open() resolved) and to its first point, over OPEN_TIME_RUNS captures (default 10) in
// each browser, with padsim's bridge behind the TCP listener. Prints one line per browser:
//   open-time BROWSER: ready p50 X ms, worst Y ms; first point p50 X ms, worst Y ms
// tests/bench/performance.sh runs it where the browsers are installed.
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, describe, it } from "node:test";
import { browserNames, browserSuite, repository } from "./support/browser-suite.mjs";
import { unpackedLibrary } from "./support/library-package.mjs";
import { allowOnOptionsPage, bridgeRegisteredFor } from "./support/site-access.mjs";
import { startSiteServer } from "./support/site-server.mjs";

const runs = Number(process.env.OPEN_TIME_RUNS ?? 10);

// One capture: open(), its first point, close(); the two times from open(), in ms.
function timedCapture(page) {
    return page.evaluate(async () => {
        const { open } = await import("@lumarq/orvanesign-page");
        const started = performance.now();
        const capture = await open({ timeoutMs: 15_000 });
        const readyMs = performance.now() - started;
        await new Promise((resolve) => capture.addEventListener("point", resolve, { once: true }));
        const firstPointMs = performance.now() - started;
        await capture.close();
        return { readyMs, firstPointMs };
    });
}

const percentile = (values, share) => [...values].sort((a, b) => a - b)[Math.ceil(share * values.length) - 1];
const summary = (values) => `p50 ${Math.round(percentile(values, 0.5))} ms, worst ${Math.round(percentile(values, 1))} ms`;

for (const browserName of browserNames) {
    describe(`open time in ${browserName}`, { timeout: 60_000 + runs * 15_000 }, () => {
        let siteDir, server, origin;

        before(async () => {
            siteDir = fs.mkdtempSync(path.join(os.tmpdir(), "open-time-site-"));
            const folders = { "/lib/": unpackedLibrary(siteDir), "/": path.join(repository, "demo-site") };
            server = await startSiteServer("127.0.0.1", folders);
            origin = server.origin();
        });

        const suite = browserSuite("open-time", browserName);

        before(async () => {
            await allowOnOptionsPage(suite.padBrowser, origin);
            await bridgeRegisteredFor(suite.padBrowser, [origin]);
        });

        after(async () => {
            await server.close();
            fs.rmSync(siteDir, { recursive: true, force: true });
        });

        it(`opens ${runs} captures one after the other`, async () => {
            await suite.harness.useListener();
            suite.harness.startBridge(["--loop", "--rate", "500"]);
            const page = await suite.padBrowser.browser.newPage();
            await page.goto(`${origin}/`);
            const ready = [];
            const firstPoint = [];
            for (let run = 0; run < runs; run += 1) {
                const { readyMs, firstPointMs } = await timedCapture(page);
                ready.push(readyMs);
                firstPoint.push(firstPointMs);
                assert.ok(await suite.harness.allRunsEnded(5000), "a host was left running");
            }
            console.log(`open-time ${browserName}: ready ${summary(ready)}; first point ${summary(firstPoint)}`);
        });
    });
}
