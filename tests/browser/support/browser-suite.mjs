// What every browser suite sets up alike: a work folder, the extension laid out, the host's
// harness and the browser; each test starts with the runs so far marked, and leaves no page of
// its own open and no host running.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";
import { after, afterEach, before, beforeEach } from "node:test";
import { PadBrowser } from "./browsers.mjs";
import { HostHarness } from "./host-harness.mjs";

export const repository = fileURLToPath(new URL("../../..", import.meta.url));
const buildDir = path.resolve(process.env.HOST_BUILD_DIR ?? path.join(repository, "build"));
const resultsDir = path.resolve(process.env.BROWSER_TEST_RESULTS ?? path.join(buildDir, "browser-tests"));
export const browserNames = (process.env.BROWSERS ?? "chromium,firefox").split(",").filter(Boolean);

// Registers the hooks of a suite named name in browserName; the returned object holds workDir,
// downloads, harness and padBrowser once the suite has started. policy(), when given, is the
// extension's administrator policy, asked for at the browser's start.
export function browserSuite(name, browserName, { policy = () => null } = {}) {
    const suite = {};

    before(async () => {
        suite.workDir = fs.mkdtempSync(path.join(os.tmpdir(), `${name}-${browserName}-`));
        const extensionDir = path.join(suite.workDir, "extension");
        execFileSync(path.join(repository, "extension/assemble.sh"), [extensionDir]);
        suite.downloads = path.join(suite.workDir, "downloads");
        fs.mkdirSync(suite.downloads);
        fs.mkdirSync(resultsDir, { recursive: true });
        suite.harness = new HostHarness(buildDir, suite.workDir);
        suite.padBrowser = await PadBrowser.launch(browserName, {
            workDir: suite.workDir, extensionDir, hostWrapper: suite.harness.wrapper, downloadDir: suite.downloads,
            policy: policy(),
        });
    });

    after(async () => {
        await suite.padBrowser?.close();
        await suite.harness?.stopBridge();
        suite.harness?.keepLogs(path.join(resultsDir, `${browserName}-${name}-logs`));
        fs.rmSync(suite.workDir, { recursive: true, force: true });
    });

    beforeEach(() => suite.harness.markRuns());

    afterEach(async () => {
        for (const page of await suite.padBrowser.browser.pages()) {
            if (page !== suite.padBrowser.launcher) {
                await page.close().catch(() => {});
            }
        }
        await suite.harness.stopBridge();
        assert.ok(await suite.harness.allRunsEnded(5000), "a host was left running");
    });

    return suite;
}

export function resultFile(name) {
    return path.join(resultsDir, name);
}
