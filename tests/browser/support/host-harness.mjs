// The host's side of a browser test: a temporary INKORA_ROOT with its settings file, the wrapper
// that the browser starts as the native host, the record of each host run, and padsim as the pad.
import { spawn } from "node:child_process";
import fs from "node:fs";
import net from "node:net";
import path from "node:path";
import { expectedMessages, testSignature, writeStrokesFile } from "./pen-points.mjs";
import { waitFor } from "./wait.mjs";

const kBridgeIdentity = "browser-bridge";

// The wrapper runs the real host as a child in a session of its own and records its pid and,
// once it has ended, its exit code: the browser kills a native host that outlives its port by
// about 2 s, and would take the wrapper with it, never the host.
function wrapperScript(hostBinary, root, runs) {
    return `#!/bin/bash
export INKORA_ROOT='${root}'
run=$(mktemp -d '${runs}/run.XXXXXX')
setsid bash -c '"$1" <&0 & echo $! >"$2/pid"; wait $!; echo $? >"$2/exit.part"; mv "$2/exit.part" "$2/exit"' \\
    host-run '${hostBinary}' "$run" <&0 2>"$run/stderr" &
wait $!
`;
}

export class HostHarness {
    // hostCopyName: run a copy of the host under this name. The host lets one copy of its own name
    // run at a time; a copy of another name can run beside the hosts of another harness.
    constructor(buildDir, workDir, { hostCopyName } = {}) {
        this.binaries = { host: path.join(buildDir, "bin/Lumarq.OrvaneSignExtension"), padsim: path.join(buildDir, "bin/padsim") };
        if (hostCopyName) {
            fs.copyFileSync(this.binaries.host, path.join(workDir, hostCopyName));
            this.binaries.host = path.join(workDir, hostCopyName);
        }
        this.root = path.join(workDir, "inkora-root");
        this.runs = path.join(workDir, "host-runs");
        this.wrapper = path.join(workDir, "host-wrapper.sh");
        this.strokesFile = path.join(workDir, "strokes.txt");
        this.padsimLog = path.join(workDir, "padsim.log");
        for (const dir of [path.join(this.root, "windows"), path.join(this.root, "temp"), this.runs]) {
            fs.mkdirSync(dir, { recursive: true });
        }
        fs.writeFileSync(this.wrapper, wrapperScript(this.binaries.host, this.root, this.runs), { mode: 0o755 });
        this.padsim = null;
    }

    get settingsPath() {
        return path.join(this.root, "windows/Inkora.ini");
    }

    writeSettings(lines) {
        fs.writeFileSync(this.settingsPath, ["[Tablet]", ...lines, ""].join("\n"));
    }

    removeSettings() {
        fs.rmSync(this.settingsPath, { force: true });
    }

    // The TCP listener (kind 7) on a free port, for padsim's bridge.
    async useListener() {
        this.bridgePort = await freePort();
        this.writeSettings(["TabletType=7", `SocketPort=${this.bridgePort - 1}`, "SocketTimeout=4000",
                            `TabletPortPath=${kBridgeIdentity}`, "EnableLogging=1"]);
    }

    // padsim's bridge playing the test signature at 500 points/s behind the TCP listener; returns
    // the POINT messages the host must make of it.
    async playTestSignature() {
        const played = testSignature();
        writeStrokesFile(this.strokesFile, played);
        await this.useListener();
        this.startBridge(["--strokes", this.strokesFile, "--raw-coordinates", "--rate", "500"]);
        return expectedMessages(played);
    }

    // padsim's bridge to the listener, ending after 60 s unless extraArguments give a --time-limit.
    startBridge(extraArguments) {
        const timeLimit = extraArguments.includes("--time-limit") ? [] : ["--time-limit", "60"];
        const args = ["bridge", "--port", String(this.bridgePort), "--identity", kBridgeIdentity,
                      ...timeLimit, ...extraArguments];
        const log = fs.openSync(this.padsimLog, "a");
        this.padsim = spawn(this.binaries.padsim, args, { stdio: ["ignore", log, log] });
        fs.closeSync(log);
    }

    async stopBridge() {
        const padsim = this.padsim;
        this.padsim = null;
        if (padsim && padsim.exitCode === null && padsim.signalCode === null) {
            const ended = new Promise((resolve) => padsim.once("exit", resolve));
            padsim.kill("SIGTERM");
            await ended;
        }
    }

    // Marks the host runs so far as earlier ones: the next run the browser starts is then the
    // only new one.
    markRuns() {
        this.earlierRuns = new Set(fs.readdirSync(this.runs));
    }

    newRuns() {
        return fs.readdirSync(this.runs).filter((run) => !this.earlierRuns?.has(run));
    }

    // Waits for every host run to end; true when none is left running.
    async allRunsEnded(timeoutMs) {
        const running = () => fs.readdirSync(this.runs).filter((run) => !fs.existsSync(path.join(this.runs, run, "exit")));
        return waitFor(() => running().length === 0, { timeoutMs, what: "the host to end" }).catch(() => false);
    }

    async currentRun() {
        const runs = await waitFor(() => this.newRuns().length > 0 && this.newRuns(), { what: "the browser to start the host" });
        if (runs.length > 1) {
            throw new Error(`the browser started the host ${runs.length} times`);
        }
        return new HostRun(path.join(this.runs, runs[0]));
    }

    // Copies what the host and padsim wrote (runs with the host's trace, diagnostic logs) to
    // a folder that outlives the test.
    keepLogs(destination) {
        fs.mkdirSync(destination, { recursive: true });
        fs.cpSync(this.runs, path.join(destination, "host-runs"), { recursive: true });
        fs.cpSync(path.join(this.root, "temp"), path.join(destination, "diagnostic-logs"), { recursive: true });
        if (fs.existsSync(this.padsimLog)) {
            fs.copyFileSync(this.padsimLog, path.join(destination, "padsim.log"));
        }
    }
}

// One start of the host by the browser.
export class HostRun {
    constructor(dir) {
        this.dir = dir;
    }

    async pid() {
        const text = await waitFor(() => readIfThere(path.join(this.dir, "pid")), { what: "the host's pid" });
        return Number(text);
    }

    // The host's exit code once it has ended, or null if it is still running after timeoutMs.
    async exitCode(timeoutMs) {
        const file = path.join(this.dir, "exit");
        try {
            return Number(await waitFor(() => readIfThere(file), { timeoutMs, what: "the host to end" }));
        } catch {
            return null;
        }
    }

    errorOutput() {
        return readIfThere(path.join(this.dir, "stderr")) ?? "";
    }
}

function readIfThere(file) {
    try {
        return fs.readFileSync(file, "utf8").trim() || null;
    } catch {
        return null;
    }
}

function freePort() {
    return new Promise((resolve, reject) => {
        const server = net.createServer();
        server.once("error", reject);
        server.listen(0, "127.0.0.1", () => {
            const { port } = server.address();
            server.close(() => resolve(port));
        });
    });
}
