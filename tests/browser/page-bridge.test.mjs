// A service's web page asks for a signature through the page library and the extension's bridge,
// in real browsers, with the real host behind the extension and padsim as the pad.
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, describe, it } from "node:test";
import { ErrorCode } from "../../page-library/index.js";
import { policiesSupported } from "./support/browser-policies.mjs";
import { browserNames, browserSuite, repository, startBrowserWithHost, stopBrowserWithHost } from "./support/browser-suite.mjs";
import { unpackedLibrary } from "./support/library-package.mjs";
import { countInk, decodePng } from "./support/png.mjs";
import { waitForText } from "./support/page-text.mjs";
import { allowOnOptionsPage, bridgeRegisteredFor } from "./support/site-access.mjs";
import { HostRun } from "./support/host-harness.mjs";
import { startSiteServer } from "./support/site-server.mjs";
import { waitFor } from "./support/wait.mjs";

// Runs in the page: opens a capture through the library and resolves to the size of the pad, or
// the error's code; the capture, the controller of the open's signal, a count of its points
// (and of those before its end) and the code that ended it stay in the page as window.signing.
async function openInPage(timeoutMs) {
    const { open } = await import("@lumarq/orvanesign-page");
    const started = performance.now();
    const signing = (window.signing = { points: 0, started, controller: new AbortController() });
    // The request's id, as another script of the page could read it, and whether the page had a
    // person's activation when the bridge's content script read the same message.
    window.addEventListener("message", ({ data }) => {
        if (signing.id === undefined && data?.source === "lumarq-orvanesign-page" && data.request === "open") {
            signing.id = data.id;
            signing.activeAtOpen = navigator.userActivation.isActive;
        }
    });
    try {
        signing.capture = await open({ timeoutMs, signal: signing.controller.signal });
        signing.openedMs = performance.now() - started;
        signing.capture.addEventListener("point", () => {
            signing.points += 1;
            signing.firstPointMs ??= performance.now() - started;
        });
        signing.capture.addEventListener("end", ({ detail }) => {
            signing.endCode = detail.error?.code ?? null;
            signing.pointsAtEnd = signing.points;
            signing.endedMs = performance.now() - started;
        });
        return { size: [signing.capture.width, signing.capture.height] };
    } catch (error) {
        return { code: error.code, elapsedMs: performance.now() - started };
    }
}

// Opens a capture from the test, as if the person had just clicked (automation's calls into a
// page count as the person's activation in both browsers).
function openCapture(page, timeoutMs = 15_000) {
    return page.evaluate(openInPage, timeoutMs);
}

// A new tab with origin's page that opens a capture once it has loaded, with no activation, or
// on the first click anywhere in the page. Every call of the test into a page counts as the
// person's activation, so the page's outcome, with its activation when it asked, comes back
// through the console and page.opening() waits for it without touching the page.
const kOpeningLine = "opening: ";
async function pageOpeningOn(browser, origin, when) {
    const page = await browser.newPage();
    let outcome;
    page.on("console", (message) => {
        const text = message.text();
        outcome ??= text.startsWith(kOpeningLine) ? JSON.parse(text.slice(kOpeningLine.length)) : undefined;
    });
    page.opening = () => waitFor(() => outcome, { timeoutMs: 15_000, what: "the open's outcome" });
    await page.evaluateOnNewDocument((source, when, line) => {
        if (window === top) {
            // eslint-disable-next-line no-eval
            const openInPage = (0, eval)(`(${source})`);
            const openNow = async () => {
                const outcome = await openInPage(10_000);
                console.log(line + JSON.stringify({ ...outcome, active: window.signing.activeAtOpen }));
            };
            addEventListener("DOMContentLoaded", () => (when === "load" ? openNow() : addEventListener("click", openNow, { once: true })));
        }
    }, openInPage.toString(), when, kOpeningLine);
    await page.goto(`${origin}/`);
    return page;
}

const signing = (page) => page.evaluate(() => ({ ...window.signing, capture: null, controller: null }));

// Closes the page's capture: the host says it is exiting and ends with exit code 0.
async function closeCapture(page, harness) {
    assert.equal(await page.evaluate(() => window.signing.capture.close()), "EXITING...");
    assert.equal(await (await harness.currentRun()).exitCode(5000), 0);
}

async function openSiteIn(padBrowser, origin) {
    const page = await padBrowser.browser.newPage();
    await page.goto(`${origin}/`);
    return page;
}

// The toolbar button's badge and title.
const badgeOf = (padBrowser) => padBrowser.launcher.evaluate(async () => {
    const api = globalThis.browser ?? globalThis.chrome;
    return { text: await api.action.getBadgeText({}), title: await api.action.getTitle({}) };
});

// The segments [from, to] of the strokes in a list of [X, Y, P] points; a dot is a segment of no length.
function strokeSegments(points) {
    const segments = [];
    let previous = null;
    for (const [x, y, p] of points) {
        if (previous || p === 1) {
            segments.push([previous ?? [x, y], [x, y]]);
        }
        previous = p === 1 ? [x, y] : null;
    }
    return segments;
}

function distanceToSegment([x, y], [[x0, y0], [x1, y1]]) {
    const length2 = (x1 - x0) ** 2 + (y1 - y0) ** 2;
    const t = length2 === 0 ? 0 : Math.max(0, Math.min(1, ((x - x0) * (x1 - x0) + (y - y0) * (y1 - y0)) / length2));
    return Math.hypot(x - (x0 + t * (x1 - x0)), y - (y0 + t * (y1 - y0)));
}

// Serves the demo site with the packed library on each of hosts, one server each, while the
// suite runs; servers[i].origin() is then the site on hosts[i].
function serveDemoSite(hosts) {
    const servers = [];
    let siteDir;
    before(async () => {
        siteDir = fs.mkdtempSync(path.join(os.tmpdir(), "page-bridge-site-"));
        const folders = { "/lib/": unpackedLibrary(siteDir), "/": path.join(repository, "demo-site") };
        servers.push(...await Promise.all(hosts.map((host) => startSiteServer(host, folders))));
    });
    after(async () => {
        await Promise.all(servers.map((server) => server.close()));
        fs.rmSync(siteDir, { recursive: true, force: true });
    });
    return servers;
}

async function waitForPoints(page, atLeast = 1, timeoutMs = 10_000) {
    return waitFor(async () => (await signing(page)).points >= atLeast && signing(page), { timeoutMs, what: `${atLeast} points` });
}

// A capture in Chromium that opens first and stays open and quiet for six minutes, beside the
// other suites of this file (its browser, harness and a differently named copy of the host are
// its own), then gets points: Chromium must keep the extension's service worker alive while its
// port to the host is open. The policy raises the idle limit above the quiet time.
const kQuietMs = 6 * 60_000;
const quietCapture = { skip: !browserNames.includes("chromium") ? "runs in Chromium" : !policiesSupported && "needs root, to mount the policy folder" };
describe("a quiet capture in chromium, opened first", quietCapture, () => {
    const servers = serveDemoSite(["127.0.0.1"]);
    it("opens a capture whose pad stays quiet while the other suites run", () => startQuietCapture(servers[0].origin()));
});

async function startQuietCapture(site) {
    Object.assign(quietCapture, await startBrowserWithHost("quiet-capture", "chromium", {
        policy: { allowedOrigins: [site], idleLimitSeconds: 3600 }, hostCopyName: "quiet-capture-host",
    }));
    await bridgeRegisteredFor(quietCapture.padBrowser, [site]);
    await quietCapture.harness.useListener();
    // padsim's wait starts with the host's requests, a little before open() resolves; it plays
    // until the end of the file, however long the other suites take.
    quietCapture.harness.startBridge(["--start-after", "1", "--delay", String(kQuietMs + 10_000), "--loop", "--rate", "200",
                                      "--time-limit", "0"]);
    quietCapture.page = await openSiteIn(quietCapture.padBrowser, site);
    assert.deepEqual((await openCapture(quietCapture.page)).size, [2150, 1400]);
}

for (const browserName of browserNames) {
    describe(`page bridge in ${browserName}`, { timeout: 180_000 }, () => {
        const sites = {};
        const servers = serveDemoSite(["127.0.0.1", "127.0.0.1", "127.0.0.2"]);

        before(() => {
            sites.allowed = servers[0].origin(); // on the options page
            sites.byPolicy = servers[0].origin("localhost"); // by the administrator's policy
            sites.otherPort = servers[1].origin(); // the allowed host on another port: not allowed
            sites.unserved = servers[2].origin(); // on no list: the bridge is not there
        });

        const suite = browserSuite("page-bridge", browserName, {
            policy: () => (policiesSupported ? { allowedOrigins: [sites.byPolicy] } : null),
        });

        before(async () => {
            await allowOnOptionsPage(suite.padBrowser, sites.allowed);
            await bridgeRegisteredFor(suite.padBrowser, policiesSupported ? [sites.allowed, sites.byPolicy] : [sites.allowed]);
        });

        const openSite = (origin) => openSiteIn(suite.padBrowser, origin);
        const badge = () => badgeOf(suite.padBrowser);

        async function startSigning(origin) {
            await suite.harness.useListener();
            suite.harness.startBridge(["--loop", "--rate", "500"]);
            const page = await openSite(origin);
            assert.deepEqual((await openCapture(page)).size, [2150, 1400]);
            await waitForPoints(page);
            return page;
        }

        it("gives the demo page of a site allowed on the options page exactly what the pad sends, badged with the site", async () => {
            const expected = await suite.harness.playTestSignature();

            const page = await openSite(sites.allowed);
            await page.click("#sign");
            await waitForText(page, "point-count", new RegExp(`^${expected.length} points$`));
            assert.deepEqual(await badge(), { text: "SIGN", title: `Signature pad in use by ${sites.allowed}` });
            await page.click("#done");
            await waitFor(async () => (await page.$eval("#status", (status) => status.dataset.kind)) === "signed",
                          { what: "the page to say it is signed" });
            const record = JSON.parse(await page.$eval("#signature-field metadata", (metadata) => metadata.textContent));
            assert.deepEqual(record.points, expected);
            assert.equal(await (await suite.harness.currentRun()).exitCode(5000), 0);
            assert.deepEqual(await badge(), { text: "", title: "Open the signing pad" });
        });

        it("gives the page each point's time and the pad's numbers, keeps exactly the points fed as evidence, and ends with pad-gone when the bridge is cut", async () => {
            const expected = await suite.harness.playTestSignature();
            const page = await openSite(sites.allowed);
            assert.deepEqual((await openCapture(page)).size, [2150, 1400]);
            await waitForPoints(page, expected.length);
            const kept = await page.evaluate(async () => {
                const { checkEvidence } = await import("@lumarq/orvanesign-page");
                const { capture } = window.signing;
                const evidence = JSON.parse(JSON.stringify(capture.toEvidence()));
                return { pad: capture.pad, times: capture.times, evidence, problems: checkEvidence(evidence) };
            });
            assert.deepEqual(kept.pad, { serial: 123456, model: 5 });
            assert.ok(kept.times.every((t, i) => Number.isInteger(t) && t >= (kept.times[i - 1] ?? 0)), "times");
            assert.deepEqual(kept.problems, []);
            const { evidence } = kept;
            assert.deepEqual([evidence.format, evidence.version, evidence.pad, evidence.size],
                             ["lumarq-signature-evidence", 1, kept.pad, { width: 2150, height: 1400 }]);
            assert.deepEqual(evidence.points.map(({ x, y, touch }) => [x, y, touch ? 1 : 0]), expected);
            assert.deepEqual(evidence.points.map(({ t }) => t), kept.times);
            assert.equal(evidence.strokes.length, expected.filter(([, , p]) => p === 0).length);

            await suite.harness.stopBridge();
            assert.equal(await page.evaluate(() => window.signing.capture.ended.catch((error) => error.code)), "pad-gone");
            assert.equal(await (await suite.harness.currentRun()).exitCode(5000), 0);
        });

        it("serves a site allowed by the administrator's policy file", { skip: !policiesSupported && "needs root, to mount the policy folder" }, async (t) => {
            const page = await startSigning(sites.byPolicy);
            const { openedMs, firstPointMs } = await signing(page);
            t.diagnostic(`open() resolved after ${Math.round(openedMs)} ms, the first point came after ${Math.round(firstPointMs)} ms`);
            await closeCapture(page, suite.harness);
        });

        // A frame of the given origin, added to page; resolves once it has loaded.
        async function addFrame(page, origin) {
            await page.evaluate((src) => {
                const frame = document.createElement("iframe");
                frame.src = src;
                document.body.append(frame);
                return new Promise((resolve) => frame.addEventListener("load", resolve));
            }, `${origin}/`);
            return page.frames().find((candidate) => candidate !== page.mainFrame());
        }

        // Each refused at once (the call's time-out is far off), without starting the host.
        const refusals = {
            "the allowed host on a port that is not allowed, in a tab of its own": [() => openSite(sites.otherPort), ErrorCode.originNotAllowed],
            "the allowed host on a port that is not allowed, in a frame of an allowed page": [
                async () => addFrame(await openSite(sites.allowed), sites.otherPort), ErrorCode.originNotAllowed],
            "a page that no bridge serves, as the extension missing": [() => openSite(sites.unserved), ErrorCode.extensionMissing],
        };
        for (const [who, [pageOf, expected]] of Object.entries(refusals)) {
            it(`refuses ${who}, at once and without starting the host`, async (t) => {
                const { code, elapsedMs } = await openCapture(await pageOf(), 60_000);
                assert.equal(code, expected);
                t.diagnostic(`open() rejected after ${Math.round(elapsedMs)} ms`);
                assert.ok(elapsedMs < 30_000, `reported after ${elapsedMs} ms`);
                assert.deepEqual(suite.harness.newRuns(), [], "a host was started");
            });
        }

        // The call's own time-out is the bound: a bridge that answers gives true within it.
        const presence = { allowed: ["an allowed site", true], unserved: ["a site no bridge serves", false] };
        for (const [site, [whose, expected]] of Object.entries(presence)) {
            it(`tells the page of ${whose} that signing is ${expected ? "" : "not "}possible within 250 ms`, async (t) => {
                const page = await openSite(sites[site]);
                const { available, elapsedMs } = await page.evaluate(async () => {
                    const { isAvailable } = await import("@lumarq/orvanesign-page");
                    const started = performance.now();
                    return { available: await isAvailable({ timeoutMs: 250 }), elapsedMs: performance.now() - started };
                });
                t.diagnostic(`isAvailable() answered after ${Math.round(elapsedMs)} ms`);
                assert.equal(available, expected);
            });
        }

        // No bridge comes at first: the host waits its 4 s for one, so the abort lands while the pad
        // opens. The page asks again at once and gets the pad, from a host that starts once the
        // first has gone (the bridge comes once that host has started); each row gives how many
        // hosts its aborted open starts.
        const aborts = {
            "before the call": [0, (open) => open({ signal: AbortSignal.abort() })],
            "while the pad opens": [1, (open) => {
                const controller = new AbortController();
                const opening = open({ signal: controller.signal });
                setTimeout(() => controller.abort(), 300);
                return opening;
            }],
        };
        for (const [when, [hostsOfAbortedOpen, abortedOpen]] of Object.entries(aborts)) {
            it(`rejects an open aborted ${when} with aborted, and opens the one asked for at once after it`, async () => {
                await suite.harness.useListener();
                const page = await openSite(sites.allowed);
                const code = await page.evaluate(async (source) => {
                    const { open } = await import("@lumarq/orvanesign-page");
                    // eslint-disable-next-line no-eval
                    const code = await (0, eval)(`(${source})`)(open).then(() => "opened", (error) => error.code);
                    window.reopening = open({ timeoutMs: 15_000 });
                    return code;
                }, abortedOpen.toString());
                assert.equal(code, ErrorCode.aborted);
                await waitFor(() => suite.harness.newRuns().length > hostsOfAbortedOpen, { what: "the host of the next open" });
                suite.harness.startBridge(["--loop", "--rate", "500"]);
                const reopened = await page.evaluate(() => window.reopening.then(
                    (capture) => capture.close().then(() => [capture.width, capture.height]), (error) => error.code));
                assert.deepEqual(reopened, [2150, 1400]);
                for (const run of suite.harness.newRuns()) {
                    assert.equal(await new HostRun(path.join(suite.harness.runs, run)).exitCode(10_000), 0);
                }
            });
        }

        it("ends a capture whose open's signal is aborted with aborted, lets the host go and gives no point after", async () => {
            const page = await startSigning(sites.allowed);
            const run = await suite.harness.currentRun();
            await page.evaluate(() => window.signing.controller.abort());
            assert.equal(await run.exitCode(5000), 0);
            const { endCode, points, pointsAtEnd } = await signing(page);
            assert.deepEqual([endCode, points], [ErrorCode.aborted, pointsAtEnd]);
            assert.equal((await badge()).text, "");
        });

        it("tells a second tab that the pad is in use while the first captures", async () => {
            const first = await startSigning(sites.allowed);
            const second = await openSite(sites.allowed);
            assert.equal((await openCapture(second)).code, ErrorCode.padInUse);
            const { points } = await signing(first);
            await waitForPoints(first, points + 1);
            await suite.harness.currentRun(); // one run, or it throws
        });

        it("sends the points to the frame that opened the capture and to no other", async () => {
            await suite.harness.useListener();
            suite.harness.startBridge(["--loop", "--rate", "500"]);
            const page = await openSite(sites.allowed);
            // The demo page asks whether signing is possible as it loads; the answer ("present")
            // may come after this listener, and is no event of the capture.
            await page.evaluate(() => {
                window.bridgeMessages = 0;
                window.addEventListener("message", ({ data }) => {
                    window.bridgeMessages += data?.source === "lumarq-orvanesign-bridge" && data.event !== "present" ? 1 : 0;
                });
            });
            const frame = await addFrame(page, sites.allowed);
            assert.deepEqual((await openCapture(frame)).size, [2150, 1400]);
            await waitForPoints(frame, 10);
            assert.equal(await page.evaluate(() => window.bridgeMessages), 0);
        });

        it("keeps an open and its capture running through another script's opens with its id, clear() and the open's timeoutMs, and still closes it", async () => {
            const timeoutMs = 5000;
            await suite.harness.useListener();
            const page = await openSite(sites.allowed);
            // Another script of the page posts an open with the id of each open the bridge accepts,
            // while the pad opens (no bridge has come yet), and once more after it has opened.
            const reuseId = () => window.postMessage({ source: "lumarq-orvanesign-page", id: window.signing.id, request: "open", timeoutMs: 1000 }, "/");
            await page.evaluate((source) => {
                window.refusals = [];
                window.addEventListener("message", ({ data }) => {
                    if (data?.source === "lumarq-orvanesign-bridge" && data.event === "accepted") {
                        // eslint-disable-next-line no-eval
                        (0, eval)(`(${source})`)();
                    }
                    if (data?.event === "error") {
                        window.refusals.push({ code: data.code, idInUse: data.idInUse });
                    }
                });
            }, reuseId.toString());
            const opening = openCapture(page, timeoutMs);
            await waitFor(() => page.evaluate(() => window.refusals.length === 1), { what: "the refusal of the open while the pad opens" });
            suite.harness.startBridge(["--loop", "--rate", "500"]);
            assert.deepEqual((await opening).size, [2150, 1400]);
            await waitForPoints(page);
            await page.evaluate(reuseId);
            await waitFor(() => page.evaluate(() => window.refusals.length === 2), { what: "the refusal of the open after the pad opened" });
            assert.deepEqual(await page.evaluate(() => window.refusals), Array(2).fill({ code: ErrorCode.badRequest, idInUse: true }));

            // clear() forgets the points so far and keeps the new ones, with the pad still open.
            const left = await page.evaluate(() => {
                window.signing.capture.clear();
                window.signing.pointsAtClear = window.signing.points;
                return window.signing.capture.points.length;
            });
            assert.equal(left, 0);
            const { pointsAtClear } = await waitForPoints(page, (await signing(page)).points + 20);
            const kept = await page.evaluate(() => ({ points: window.signing.capture.points.length, events: window.signing.points }));
            assert.equal(kept.points, kept.events - pointsAtClear);

            const pointsThen = await waitFor(() => page.evaluate((timeoutMs) =>
                performance.now() - window.signing.started > timeoutMs && window.signing.points + 1, timeoutMs),
                                             { what: "the open's time-out to pass" });
            await waitForPoints(page, pointsThen + 10);
            await closeCapture(page, suite.harness);
        });

        // Ink within the pen's reach of a segment of the played strokes, and nowhere else; the
        // capture's PNG cropped to the ink with a margin of 20, the live canvas the whole pad.
        const kImageSources = {
            "capture.toDataUrl() cropped to the ink": {
                dataUrl: () => window.signing.capture.toDataUrl({ background: "white", lineWidth: 6, crop: true, margin: 20 }),
                origin: (points) => [0, 1].map((axis) => Math.floor(Math.min(...points.map((point) => point[axis])) - 3 - 20)),
            },
            "a live InkCanvas": { dataUrl: () => window.signing.ink.toDataURL("image/png"), origin: () => [0, 0] },
        };
        for (const [source, { dataUrl, origin }] of Object.entries(kImageSources)) {
            it(`draws ${source} with ink along the played strokes and none elsewhere`, async () => {
                const expected = await suite.harness.playTestSignature();
                const page = await openSite(sites.allowed);
                await page.evaluate(async () => {
                    const { InkCanvas, open } = await import("@lumarq/orvanesign-page");
                    const capture = await open();
                    const canvas = document.createElement("canvas");
                    window.signing = { capture, ink: canvas };
                    new InkCanvas(canvas, capture, { background: "white", lineWidth: 6 });
                });
                await waitFor(() => page.evaluate((count) => window.signing.capture.points.length === count, expected.length),
                              { timeoutMs: 15_000, what: "every played point" });
                const url = await page.evaluate(`(${dataUrl})()`);
                const image = decodePng(Buffer.from(url.replace(/^data:image\/png;base64,/, ""), "base64"));
                const [x0, y0] = origin(expected);
                const shifted = expected.map(([x, y, p]) => [x - x0, y - y0, p]);
                const segments = strokeSegments(shifted);
                const misplaced = { bare: 0, stray: 0 };
                for (const [x, y] of shifted.filter(([, , p]) => p === 1)) {
                    misplaced.bare += countInk(image, { x: x - 1, y: y - 1, width: 3, height: 3 }) === 0 ? 1 : 0;
                }
                for (let y = 0; y < image.height; y += 10) {
                    for (let x = 0; x < image.width; x += 10) {
                        const far = segments.every((segment) => distanceToSegment([x, y], segment) > 5);
                        misplaced.stray += far && countInk(image, { x, y, width: 1, height: 1 }) ? 1 : 0;
                    }
                }
                assert.deepEqual(misplaced, { bare: 0, stray: 0 });
                await page.evaluate(() => window.signing.capture.close());
            });
        }

        const leaving = { closes: (page) => page.close(), "navigates away": (page) => page.goto(`${sites.otherPort}/`) };
        for (const [how, leave] of Object.entries(leaving)) {
            it(`ends the host when the capturing tab ${how}`, async (t) => {
                const page = await startSigning(sites.allowed);
                const run = await suite.harness.currentRun();
                const left = Date.now();
                await leave(page);
                assert.equal(await run.exitCode(5000), 0);
                t.diagnostic(`the host ended ${Date.now() - left} ms after the tab ${how === "closes" ? "closed" : "navigated"}`);
                assert.equal((await badge()).text, "");
            });
        }

        it("answers every malformed request with an error and starts no host", async () => {
            const page = await openSite(sites.allowed);
            const errorIds = await page.evaluate(async () => {
                const source = "lumarq-orvanesign-page";
                const malformed = [
                    { source, id: 1, request: "OPEN", timeoutMs: 1000 },
                    { source, id: 2, request: "open" },
                    { source, id: 3, request: "open", timeoutMs: 1000, command: "OPEN" },
                    { source, id: "4", request: "open", timeoutMs: 1000 },
                    { source, id: 5, request: "open", timeoutMs: "1000" },
                    { source, id: 6, request: "open", timeoutMs: 1e9 },
                    { source, id: 7, request: "close" },
                    { source, id: 8, request: "__proto__" },
                    { source },
                ];
                const answers = [];
                const answered = new Promise((resolve) => {
                    window.addEventListener("message", ({ data }) => {
                        if (data?.source !== source && !["accepted", "present"].includes(data.event) && answers.push(data) === malformed.length) {
                            resolve();
                        }
                    });
                    setTimeout(resolve, 10_000);
                });
                malformed.forEach((message) => window.postMessage(message, "/"));
                await answered;
                return answers.map(({ id, event, code }) => `${id} ${event} ${code}`);
            });
            assert.deepEqual(errorIds.sort(), [1, 2, 3, null, 5, 6, 7, 8, null].map((id) => `${id} error ${ErrorCode.badRequest}`).sort());
            assert.deepEqual(suite.harness.newRuns(), [], "a host was started");
        });
    });
}

// The administrator's limits, in a browser whose policy lists the sites, makes that list the only
// one, lets one site open the pad without a click, and shortens the idle and hidden-tab limits.
for (const browserName of browserNames) {
    describe(`capture limits in ${browserName}`, { timeout: 180_000, skip: !policiesSupported && "needs root, to mount the policy folder" }, () => {
        const kIdleLimitSeconds = 2;
        const sites = {};
        const servers = serveDemoSite(["127.0.0.1", "127.0.0.1"]);

        before(() => {
            sites.needsClick = servers[0].origin();
            sites.withoutClick = servers[0].origin("localhost");
            sites.userAdded = servers[1].origin(); // ignored: the administrator's list is the only one
        });

        const suite = browserSuite("capture-limits", browserName, {
            policy: () => ({
                allowedOrigins: [sites.needsClick, sites.withoutClick], administratorOriginsOnly: true,
                originsWithoutGesture: [sites.withoutClick], idleLimitSeconds: kIdleLimitSeconds, hiddenLimitSeconds: 1,
            }),
        });

        before(async () => {
            await suite.padBrowser.launcher.evaluate((origin) => {
                const api = globalThis.browser ?? globalThis.chrome;
                return api.storage.local.set({ allowedOrigins: [origin] });
            }, sites.userAdded);
            await bridgeRegisteredFor(suite.padBrowser, [sites.needsClick, sites.withoutClick]);
        });

        const starts = [
            { site: "needsClick", when: "load", code: ErrorCode.needsUserGesture },
            { site: "needsClick", when: "click", code: undefined },
            { site: "withoutClick", when: "load", code: undefined },
        ];
        for (const { site, when, code } of starts) {
            it(`${code ? "refuses" : "opens"} a capture on ${when} for a site that ${site === "needsClick" ? "needs" : "is let open without"} a click`, async () => {
                await suite.harness.useListener();
                suite.harness.startBridge(["--loop", "--rate", "500"]);
                const page = await pageOpeningOn(suite.padBrowser.browser, sites[site], when);
                if (when === "click") {
                    await page.click("body");
                }
                const outcome = await page.opening();
                assert.equal(outcome.active, when === "click", "the page's activation when it asked");
                assert.equal(outcome.code, code);
                if (code) {
                    assert.deepEqual(suite.harness.newRuns(), [], "a host was started");
                } else {
                    await waitForPoints(page);
                    await closeCapture(page, suite.harness);
                }
            });
        }

        // Each ends a running capture; the page learns why, the host ends and the badge goes.
        const endings = {
            "gets no point for the idle limit": {
                padsim: ["--start-after", "4", "--delay", "600000"],
                end: () => {},
                code: ErrorCode.captureIdle,
            },
            "stays hidden for the hidden-tab limit": {
                padsim: ["--loop", "--rate", "500"],
                end: () => suite.padBrowser.browser.newPage(),
                code: ErrorCode.tabHidden,
            },
            "is ended from the toolbar button's popup, which names its site": {
                padsim: ["--loop", "--rate", "500"],
                end: async () => {
                    const popup = await popupPage();
                    await waitFor(async () => (await popup.$eval("#holder", (p) => p.textContent)).includes(sites.needsClick),
                                  { what: "the popup to name the site" });
                    await popup.click("#end-capture");
                },
                code: ErrorCode.endedByUser,
            },
        };
        for (const [how, { padsim, end, code }] of Object.entries(endings)) {
            it(`ends a capture that ${how}`, async () => {
                await suite.harness.useListener();
                suite.harness.startBridge(padsim);
                const page = await openSiteIn(suite.padBrowser, sites.needsClick);
                assert.deepEqual((await openCapture(page)).size, [2150, 1400]);
                const run = await suite.harness.currentRun();
                await end();
                const { endCode, endedMs, openedMs, points } = await waitFor(async () => {
                    const now = await signing(page);
                    return now.endCode !== undefined && now;
                }, { timeoutMs: 15_000, what: "the capture to end" });
                assert.equal(endCode, code);
                if (code === ErrorCode.captureIdle) {
                    assert.equal(points, 0);
                    assert.ok(endedMs - openedMs >= kIdleLimitSeconds * 1000 - 50, `ended ${endedMs - openedMs} ms after it opened`);
                }
                assert.equal(await run.exitCode(5000), 0);
                assert.equal((await badgeOf(suite.padBrowser)).text, "");
            });
        }

        // The toolbar button's popup page, in a window of its own: a tab beside the capturing one
        // would hide it.
        async function popupPage() {
            await suite.padBrowser.launcher.evaluate(() => {
                const api = globalThis.browser ?? globalThis.chrome;
                return api.windows.create({ url: "capture-popup.html", type: "popup", width: 400, height: 200 });
            });
            return suite.padBrowser.findPage((url) => url.pathname === "/capture-popup.html");
        }

        it("keeps to the administrator's sites when the policy makes their list the only one", async () => {
            const options = await suite.padBrowser.openExtensionPage("options.html");
            // The page fills its lists from the extension's storage after it has loaded.
            const shown = await waitFor(async () => {
                const now = await options.evaluate(() => ({
                    administrator: document.getElementById("administrator-origins").textContent,
                    saysWhy: !document.getElementById("administrator-only").hidden,
                    userPartHidden: document.getElementById("user-part").hidden,
                }));
                return now.saysWhy && now;
            }, { what: "the options page to say the administrator's list is the only one" });
            assert.deepEqual(shown, { administrator: `${sites.needsClick}${sites.withoutClick}`, saysWhy: true, userPartHidden: true });
            const page = await openSiteIn(suite.padBrowser, sites.userAdded);
            assert.equal((await openCapture(page)).code, ErrorCode.originNotAllowed);
            assert.deepEqual(suite.harness.newRuns(), [], "a host was started");
        });
    });
}

describe("the quiet capture in chromium, six minutes on", quietCapture, () => {
    after(() => stopBrowserWithHost(quietCapture));

    it("delivers points and the goodbye to a capture open and quiet for six minutes", { timeout: kQuietMs + 180_000 }, async (t) => {
        const { page, harness } = quietCapture;
        const { firstPointMs, openedMs, points, endCode } = await waitFor(async () => {
            const now = await signing(page);
            return (now.points >= 100 || now.endCode !== undefined) && now;
        }, { timeoutMs: kQuietMs + 120_000, intervalMs: 1000, what: "100 points" });
        assert.equal(endCode, undefined, "the capture ended before its points came");
        t.diagnostic(`the first point came ${Math.round((firstPointMs - openedMs) / 1000)} s after the capture opened`);
        assert.ok(firstPointMs - openedMs >= kQuietMs, `the first point came after ${firstPointMs - openedMs} ms`);
        assert.ok(points >= 100);
        await closeCapture(page, harness);
    });
});
