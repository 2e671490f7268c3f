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

// A work folder, the extension laid out in it, a host harness (options as HostHarness takes them)
// and browserName started with the extension and, when given, the administrator's policy.
export async function startBrowserWithHost(name, browserName, { policy = null, ...harnessOptions } = {}) {
    const workDir = fs.mkdtempSync(path.join(os.tmpdir(), `${name}-${browserName}-`));
    const extensionDir = path.join(workDir, "extension");
    execFileSync(path.join(repository, "extension/assemble.sh"), [extensionDir]);
    const downloads = path.join(workDir, "downloads");
    fs.mkdirSync(downloads);
    fs.mkdirSync(resultsDir, { recursive: true });
    const harness = new HostHarness(buildDir, workDir, harnessOptions);
    const padBrowser = await PadBrowser.launch(browserName, {
        workDir, extensionDir, hostWrapper: harness.wrapper, downloadDir: downloads, policy,
    });
    return { name, browserName, workDir, downloads, harness, padBrowser };
}

// Closes what startBrowserWithHost started, keeping the host's logs among the results.
export async function stopBrowserWithHost({ name, browserName, workDir, harness, padBrowser }) {
    await padBrowser?.close();
    await harness?.stopBridge();
    harness?.keepLogs(path.join(resultsDir, `${browserName}-${name}-logs`));
    if (workDir) {
        fs.rmSync(workDir, { recursive: true, force: true });
    }
}

// Registers the hooks of a suite named name in browserName; the returned object holds workDir,
// downloads, harness and padBrowser once the suite has started. policy(), when given, is the
// extension's administrator policy, asked for at the browser's start.
export function browserSuite(name, browserName, { policy = () => null } = {}) {
    const suite = {};

    before(async () => Object.assign(suite, await startBrowserWithHost(name, browserName, { policy: policy() })));
    after(() => stopBrowserWithHost(suite));

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
