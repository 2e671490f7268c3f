// The browser demo: the sample extension's signing pad while padsim signs the sample signature
// on a simulated pad behind the TCP listener. A visible browser shows the signature appear, again
// and again on a cleared pad, until its window is closed; a headless one signs once, and a
// screenshot and the saved SVG are left behind.
import fs from "node:fs";
import path from "node:path";
import { PadBrowser } from "./support/browsers.mjs";
import { prepareDemo } from "./support/demo-setup.mjs";
import { signatureComplete } from "./support/signature-complete.mjs";
import { waitFor } from "./support/wait.mjs";

const { browserName, visible, workDir, extensionDir, harness } = await prepareDemo("browser-demo");
const downloads = path.join(workDir, "downloads");
fs.mkdirSync(downloads);

const padBrowser = await PadBrowser.launch(browserName, {
    workDir, extensionDir, hostWrapper: harness.wrapper, downloadDir: downloads, headless: !visible,
});
const page = padBrowser.launcher;
const disabled = (id) => page.$eval(`#${id}`, (button) => button.disabled);

async function end(code) {
    await padBrowser.close().catch(() => {});
    await harness.stopBridge();
    await harness.allRunsEnded(5000);
    process.exit(code);
}
process.on("SIGINT", () => end(130));
process.on("SIGTERM", () => end(143));

// Signs on a cleared pad, shows the signature for two seconds and ends the session with Done, so
// that each repetition is seen being drawn. padsim signs once per run: a new run each time.
async function signAgainAndAgain() {
    for (;;) {
        await page.click("#clear");
        await harness.stopBridge();
        harness.startBridge([]);
        if (!(await disabled("connect"))) {
            await page.click("#connect");
        }
        await signatureComplete(page, 60_000);
        await new Promise((resolve) => setTimeout(resolve, 2000));
        if (!(await disabled("done"))) {
            await page.click("#done");
        }
        await waitFor(async () => !(await disabled("connect")), { what: "the session's end" });
    }
}

console.log(`${browserName} shows the signing pad; pressing Connect...`);
if (visible) {
    console.log("padsim signs the sample signature; Done ends the host after each one, and Clear and");
    console.log("Connect start the next. Close the browser window to end the demo.");
    padBrowser.browser.on("disconnected", () => end(0));
    await signAgainAndAgain().catch(async (error) => {
        if (padBrowser.browser.connected) {
            console.error(error);
            await end(1);
        }
    });
} else {
    harness.startBridge([]);
    await page.click("#connect");
    const points = await signatureComplete(page, 30_000);
    const screenshot = path.join(workDir, "signing-pad.png");
    await page.screenshot({ path: screenshot });
    await page.click("#export-svg");
    await waitFor(() => fs.existsSync(path.join(downloads, "signature.svg")), { what: "the SVG" });
    await page.click("#done");
    await waitFor(async () => (await page.$eval("#message", (e) => e.dataset.kind)) === "goodbye",
                  { what: "the host's goodbye" });
    console.log(`${points} points drawn. No desktop here, so the browser ran headless:`);
    console.log(`  screenshot of the page: ${screenshot}`);
    console.log(`  the signature as SVG:   ${path.join(downloads, "signature.svg")}`);
    await end(0);
}
