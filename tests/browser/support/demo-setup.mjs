// What the browser demos start from: the settings their scripts pass, a work folder of the
// demo's own, the sample extension laid out in it, and the host's harness with the TCP listener.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { HostHarness } from "./host-harness.mjs";
import { repository } from "./browser-suite.mjs";

export async function prepareDemo(name) {
    const buildDir = path.resolve(process.env.HOST_BUILD_DIR ?? path.join(repository, "build"));
    const workDir = fs.mkdtempSync(`/tmp/inkora-${name}.`);
    const extensionDir = path.join(workDir, "extension");
    execFileSync(path.join(repository, "extension/assemble.sh"), [extensionDir]);
    const harness = new HostHarness(buildDir, workDir);
    await harness.useListener();
    return {
        browserName: process.env.DEMO_BROWSER ?? "chromium",
        visible: process.env.DEMO_VISIBLE === "1",
        workDir, extensionDir, harness,
    };
}
