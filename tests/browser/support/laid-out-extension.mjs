// The extension's modules as assemble.sh lays them out, beside the page library's modules that
// they import, for unit tests under Node: laid out once per test process.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { pathToFileURL } from "node:url";

let laidOut = null;

function extensionDir() {
    if (!laidOut) {
        laidOut = fs.mkdtempSync(path.join(os.tmpdir(), "extension-laid-out-"));
        execFileSync(new URL("../../../extension/assemble.sh", import.meta.url).pathname, [laidOut]);
        process.on("exit", () => fs.rmSync(laidOut, { recursive: true, force: true }));
    }
    return laidOut;
}

// The address of the laid-out module name (such as "sealed-record.js"), for import().
export function extensionModule(name) {
    return pathToFileURL(path.join(extensionDir(), name)).href;
}
