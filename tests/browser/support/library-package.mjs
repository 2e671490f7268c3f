// The page library as a site gets it: packed by npm and unpacked, so that what the tests and the
// demo load is exactly what the package holds.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";

const kLibraryDir = new URL("../../../page-library", import.meta.url).pathname;

// Packs the library into dir and unpacks it there; returns the unpacked package's folder.
export function unpackedLibrary(dir) {
    fs.mkdirSync(dir, { recursive: true });
    const [{ filename }] = JSON.parse(execFileSync("npm", ["pack", "--json", "--pack-destination", dir],
                                                   { cwd: kLibraryDir, encoding: "utf8" }));
    execFileSync("tar", ["-xzf", path.join(dir, filename), "-C", dir]);
    return path.join(dir, "package");
}
