// The demo site: a service's page with a signature field, served on localhost and opened in a
// browser with the extension, which the demo allows the site on its options page as a user would.
// padsim signs on a simulated pad behind the TCP listener whenever the page opens it. A visible
// browser stays until its window is closed; a headless one signs once and leaves a screenshot.
import path from "node:path";
import { repository } from "./support/browser-suite.mjs";
import { PadBrowser } from "./support/browsers.mjs";
import { prepareDemo } from "./support/demo-setup.mjs";
import { unpackedLibrary } from "./support/library-package.mjs";
import { signatureComplete } from "./support/signature-complete.mjs";
import { allowOnOptionsPage, bridgeRegisteredFor } from "./support/site-access.mjs";
import { startSiteServer } from "./support/site-server.mjs";
import { waitFor } from "./support/wait.mjs";

const { browserName, visible, workDir, extensionDir, harness } = await prepareDemo("demo-site");
const site = await startSiteServer("127.0.0.1", {
    "/lib/": unpackedLibrary(path.join(workDir, "library")),
    "/": path.join(repository, "demo-site"),
});
const origin = site.origin("localhost");
harness.startBridge(visible ? ["--loop", "--time-limit", "0"] : []);

const padBrowser = await PadBrowser.launch(browserName, {
    workDir, extensionDir, hostWrapper: harness.wrapper, downloadDir: workDir, headless: !visible,
});

async function end(code) {
    await padBrowser.close().catch(() => {});
    await harness.stopBridge();
    await harness.allRunsEnded(5000);
    await site.close();
    process.exit(code);
}
process.on("SIGINT", () => end(130));
process.on("SIGTERM", () => end(143));

console.log(`The demo site is at ${origin}/; allowing it on the extension's options page...`);
await allowOnOptionsPage(padBrowser, origin);
await bridgeRegisteredFor(padBrowser, [origin]);
const page = await padBrowser.browser.newPage();
await page.goto(`${origin}/`);
await page.bringToFront();

if (visible) {
    console.log("Press Sign on the page: padsim signs the sample signature each time the pad opens.");
    console.log("Done keeps the signature. Close the browser window to end the demo.");
    padBrowser.browser.on("disconnected", () => end(0));
} else {
    await page.click("#sign");
    const points = await signatureComplete(page, 30_000);
    await page.click("#done");
    await waitFor(async () => (await page.$eval("#status", (status) => status.dataset.kind)) === "signed",
                  { what: "the page to say it is signed" });
    const screenshot = path.join(workDir, "demo-site.png");
    await page.screenshot({ path: screenshot });
    console.log(`${points} points signed. No desktop here, so the browser ran headless:`);
    console.log(`  screenshot of the page: ${screenshot}`);
    await end(0);
}
