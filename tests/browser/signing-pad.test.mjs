// The sample extension in real browsers, with the real host behind it and padsim as the pad.
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { describe, it } from "node:test";
import { browserNames, browserSuite, resultFile } from "./support/browser-suite.mjs";
import { text, waitForText } from "./support/page-text.mjs";
import { kLogicalSize } from "./support/pen-points.mjs";
import { countInk, decodePng } from "./support/png.mjs";
import { waitFor } from "./support/wait.mjs";

const message = (page) => page.$eval("#message", (element) => ({ text: element.textContent, ...element.dataset }));

async function waitForProblem(page, problem, timeoutMs = 15_000) {
    await waitFor(async () => (await message(page)).problem === problem,
                  { timeoutMs, what: `the page to report "${problem}"` });
    return (await message(page)).text;
}

// The file a click on the page saves, once it is complete.
async function savedFile(downloads, name, isComplete) {
    const file = path.join(downloads, name);
    await waitFor(() => fs.existsSync(file) && isComplete(fs.readFileSync(file)), { what: `${name} to be saved` });
    return fs.readFileSync(file);
}

function svgRecord(bytes) {
    const svg = bytes.toString("utf8");
    const metadata = /<metadata id="pen-points">(.*)<\/metadata>/.exec(svg);
    return metadata && { ...JSON.parse(metadata[1]), polylines: svg.match(/<polyline /g)?.length ?? 0 };
}

async function pageRect(page, selector) {
    return page.$eval(selector, (element) => {
        const { x, y, width, height } = element.getBoundingClientRect();
        return { x: Math.round(x), y: Math.round(y), width: Math.round(width), height: Math.round(height) };
    });
}

for (const browserName of browserNames) {
    describe(`signing pad in ${browserName}`, { timeout: 150_000 }, () => {
        const suite = browserSuite("signing-pad", browserName);

        it("draws the strokes the pad sends, saves exactly their points, and Done ends the host", async () => {
            const expected = await suite.harness.playTestSignature();

            const page = await suite.padBrowser.openPadPage();
            await page.click("#connect");
            await waitForText(page, "connection", /^connected$/);
            assert.equal(await text(page, "open-status"), "1");
            assert.equal(await text(page, "pad-size"), "2150 × 1400");
            const strokes = expected.filter(([, , p]) => p === 0).length;
            await waitForText(page, "point-count", new RegExp(`^${expected.length} in ${strokes} strokes$`));

            const screenshot = resultFile(`${browserName}-signature.png`);
            await page.screenshot({ path: screenshot });
            const shot = decodePng(fs.readFileSync(screenshot));
            assert.ok(countInk(shot, await pageRect(page, "#pad")) > 1000, `${screenshot} shows no signature`);

            await page.click("#export-svg");
            const record = svgRecord(await savedFile(suite.downloads, "signature.svg", (bytes) => svgRecord(bytes)));
            assert.deepEqual(record.points, expected);
            assert.equal(record.polylines, strokes);
            assert.deepEqual([record.maxx, record.maxy], [kLogicalSize.width, kLogicalSize.height]);

            await page.click("#export-png");
            const png = decodePng(await savedFile(suite.downloads, "signature.png", (bytes) => {
                try {
                    return decodePng(bytes);
                } catch {
                    return null;
                }
            }));
            assert.deepEqual([png.width, png.height], [kLogicalSize.width, kLogicalSize.height]);
            // A point on the far edge (X = maxx or Y = maxy) is drawn in the last pixel before it.
            const pixel = (x, y) => ({ x: Math.min(x, png.width - 1), y: Math.min(y, png.height - 1), width: 1, height: 1 });
            const uninked = expected.filter(([x, y]) => countInk(png, pixel(x, y)) === 0);
            assert.deepEqual(uninked, [], "points the PNG does not show");

            const run = await suite.harness.currentRun();
            await page.click("#done");
            await waitForText(page, "connection", /^closed$/);
            const goodbye = await message(page);
            assert.equal(goodbye.kind, "goodbye");
            assert.match(goodbye.text, /said goodbye \("EXITING\.\.\."\)/);
            assert.equal(await run.exitCode(5000), 0);
        });

        it("ends the host within 3 s when the page is closed without Done", async () => {
            await suite.harness.useListener();
            suite.harness.startBridge(["--loop", "--rate", "500"]);
            const page = await suite.padBrowser.openPadPage();
            await page.click("#connect");
            await waitForText(page, "point-count", /^[1-9]\d+ in/);
            const run = await suite.harness.currentRun();
            await page.close();
            assert.equal(await run.exitCode(3000), 0, "the host's exit code within 3 s of the page closing");
        });

        it("reports a host that dies during a capture as exited", async () => {
            await suite.harness.useListener();
            suite.harness.startBridge(["--loop", "--rate", "500"]);
            const page = await suite.padBrowser.openPadPage();
            await page.click("#connect");
            await waitForText(page, "point-count", /^[1-9]\d+ in/);
            process.kill(await (await suite.harness.currentRun()).pid(), "SIGKILL");
            assert.match(await waitForProblem(page, "exited"), /exited unexpectedly/);
            assert.equal(await text(page, "connection"), "not connected");
        });

        it("says another copy holds the pad when the host ends at once, without a doubled period", async () => {
            await suite.harness.useListener();
            const first = spawn(suite.harness.binaries.host, [], { env: { ...process.env, INKORA_ROOT: suite.harness.root },
                                                            stdio: ["pipe", "ignore", "ignore"] });
            const firstEnded = new Promise((resolve) => first.once("exit", resolve));
            try {
                const page = await suite.padBrowser.openPadPage();
                await page.click("#connect");
                const shown = await waitForProblem(page, "ended-without-reply");
                assert.match(shown, /another copy of it is using the pad/);
                assert.doesNotMatch(shown, /\.\./);
                assert.equal(await (await suite.harness.currentRun()).exitCode(5000), 1);
            } finally {
                first.stdin.end();
                await firstEnded;
            }
        });

        it("says no pad was found for the all-zero reply, and the host then ends", async () => {
            suite.harness.writeSettings(["TabletType=1"]);
            const page = await suite.padBrowser.openPadPage();
            await page.click("#connect");
            assert.match(await waitForProblem(page, "no-pad"), /No pad found/);
            assert.equal(await (await suite.harness.currentRun()).exitCode(5000), 0);
        });

        it("gives up on a host without a settings file, which never answers, and ends it", async () => {
            suite.harness.removeSettings();
            const page = await suite.padBrowser.openPadPage("replyTimeout=1500");
            await page.click("#connect");
            assert.match(await waitForProblem(page, "no-reply"), /did not answer within 1\.5 s.*Inkora\.ini/);
            assert.equal(await (await suite.harness.currentRun()).exitCode(5000), 0);
            assert.equal(await page.$eval("#connect", (button) => button.disabled), false);
        });

        it("says the host is not installed when the browser finds no manifest for it", async () => {
            const away = `${suite.padBrowser.hostManifest}.away`;
            fs.renameSync(suite.padBrowser.hostManifest, away);
            try {
                const page = await suite.padBrowser.openPadPage();
                await page.click("#connect");
                assert.match(await waitForProblem(page, "not-installed"), /not installed on this computer/);
                assert.deepEqual(suite.harness.newRuns(), [], "a host was started");
            } finally {
                fs.renameSync(away, suite.padBrowser.hostManifest);
            }
        });
    });
}
