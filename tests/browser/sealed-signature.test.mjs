// Sealed signatures in real browsers, with the real host and padsim as the pad: a site whose
// origin the administrator pinned a key for gets the pen's points only sealed to that key, signed
// in the extension's own window; the page never sees a point or a time. The key pairs are made by
// the test, and the records opened by python3-jwcrypto, not by the product's code.
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, describe, it } from "node:test";
import { ErrorCode } from "../../page-library/index.js";
import { policiesSupported } from "./support/browser-policies.mjs";
import { browserNames, browserSuite, repository, resultFile } from "./support/browser-suite.mjs";
import { unpackedLibrary } from "./support/library-package.mjs";
import { expectedMessages, writeStrokesFile } from "./support/pen-points.mjs";
import { bridgeRegisteredFor } from "./support/site-access.mjs";
import { makeRsaKeyPair, openJwe, sealingToolsMissing } from "./support/sealing-keys.mjs";
import { startSiteServer } from "./support/site-server.mjs";
import { waitFor } from "./support/wait.mjs";

const kDocumentHash = "5e884898da28047151d0e56f8dc6292773603d0d6aabbdd62a11ef721d1542d8";
const kPurpose = `Lease <img src=x onerror="document.title='hacked'"><b>2024-117</b> & annex`;

// 20 strokes of 99 points and their lifts: a 2,000-point signature in the pad's raw units.
function longSignature() {
    const points = [];
    for (let stroke = 0; stroke < 20; stroke++) {
        const x0 = 600 + 100 * stroke;
        for (let i = 0; i < 99; i++) {
            points.push([x0 + Math.round(40 * Math.sin(i / 8)), 500 + 15 * i, 1]);
        }
        points.push([x0 + 3, 2000, 0]);
    }
    return points;
}

// Runs in the page: records every message the page's window receives, and asks for a sealed
// signature through the library; window.sealing holds the messages, the outcome and when it came.
async function sealInPage(fields) {
    const { requestSealedSignature } = await import("@lumarq/orvanesign-page");
    const sealing = (window.sealing = { messages: [], started: false });
    window.addEventListener("message", ({ data }) => sealing.messages.push(JSON.parse(JSON.stringify(data))));
    try {
        const sealed = await requestSealedSignature({ ...fields, onStarted: () => (sealing.started = true) });
        sealing.doneAt = Date.now();
        sealing.outcome = { ...sealed, png: sealed.png.type };
    } catch (error) {
        sealing.outcome = { code: error.code };
    }
    return sealing.outcome;
}

// Each name a pen point or its time goes by, anywhere in a message.
const kPenFields = ["x", "y", "t", "p", "touch", "points", "times", "strokes", "evidence"];
function penFieldsIn(value, found = new Set()) {
    if (value && typeof value === "object") {
        for (const [name, inner] of Object.entries(value)) {
            if (kPenFields.includes(name)) {
                found.add(name);
            }
            penFieldsIn(inner, found);
        }
    }
    return found;
}

for (const browserName of browserNames) {
    const skip = !policiesSupported ? "needs root, to mount the policy folder" : sealingToolsMissing();
    describe(`sealed signatures in ${browserName}`, { timeout: 240_000, skip }, () => {
        const sites = {};
        const keys = {};
        const servers = [];
        let workDir;

        before(async () => {
            workDir = fs.mkdtempSync(path.join(os.tmpdir(), "sealed-signature-"));
            keys.strong = makeRsaKeyPair(workDir, "strong", 3072);
            keys.weak = makeRsaKeyPair(workDir, "weak", 2048);
            const folders = { "/lib/": unpackedLibrary(workDir), "/": path.join(repository, "demo-site") };
            servers.push(...await Promise.all(["127.0.0.1", "127.0.0.1"].map((host) => startSiteServer(host, folders))));
            sites.sealed = servers[0].origin();
            sites.unpinned = servers[0].origin("localhost");
            sites.weak = servers[1].origin();
        });
        after(async () => {
            await Promise.all(servers.map((server) => server.close()));
            fs.rmSync(workDir, { recursive: true, force: true });
        });

        const suite = browserSuite("sealed-signature", browserName, {
            policy: () => ({
                allowedOrigins: [sites.sealed, sites.unpinned, sites.weak],
                sealingKeys: [{ origin: sites.sealed, pem: keys.strong.publicPem }, { origin: sites.weak, pem: keys.weak.publicPem }],
            }),
        });

        before(() => bridgeRegisteredFor(suite.padBrowser, [sites.sealed, sites.weak]));

        async function openSite(origin) {
            const page = await suite.padBrowser.browser.newPage();
            await page.goto(`${origin}/`);
            return page;
        }

        // A sealed signature asked for in a new page of origin (as from a person's click), and the
        // signing window once it shows.
        async function startSealing(origin, padsimArguments, purpose = kPurpose) {
            await suite.harness.useListener();
            suite.harness.startBridge(padsimArguments);
            const page = await openSite(origin);
            page.evaluate(sealInPage, { documentHash: kDocumentHash.toUpperCase(), purpose, image: { crop: true, margin: 10 } });
            const signingWindow = await suite.padBrowser.findPage((url) => url.pathname === "/signing.html");
            await waitFor(() => page.evaluate(() => window.sealing?.started), { what: "the page to learn that the signing runs" });
            return { page, signingWindow };
        }

        const outcomeOf = (page) => waitFor(() => page.evaluate(() => window.sealing.outcome), { timeoutMs: 20_000, what: "the outcome" });

        it("seals a 2,000-point signature to the pinned key: the page sees no point and no time, the record holds every point with its lift and time, the document and the origin", async (t) => {
            const played = longSignature();
            writeStrokesFile(suite.harness.strokesFile, played);
            const expected = expectedMessages(played);
            assert.equal(expected.length, 2000);
            const { page, signingWindow } = await startSealing(sites.sealed, ["--strokes", suite.harness.strokesFile,
                                                                               "--raw-coordinates", "--rate", "1000"]);
            const shown = await signingWindow.evaluate(() => ({
                origin: document.getElementById("origin").textContent,
                purpose: document.getElementById("purpose").textContent,
                purposeElements: document.getElementById("purpose").childElementCount,
                fingerprint: document.getElementById("fingerprint").textContent,
                title: document.title,
            }));
            assert.deepEqual(shown, { origin: sites.sealed, purpose: kPurpose, purposeElements: 0,
                                      fingerprint: "5e884898…1d1542d8", title: "Sign with the pad" });
            const ink = await waitFor(() => signingWindow.evaluate(() => window.inkStats.drawn === 2000 && { ...window.inkStats }),
                                      { timeoutMs: 30_000, what: "the window to draw every point" });
            await signingWindow.screenshot({ path: resultFile(`signing-window-${browserName}.png`) });
            const frameMs = await signingWindow.evaluate(() => new Promise((resolve) => {
                const times = [];
                const tick = (time) => (times.push(time) < 31 ? requestAnimationFrame(tick) : resolve((times[30] - times[0]) / 30));
                requestAnimationFrame(tick);
            }));
            const doneAt = await signingWindow.evaluate(() => {
                const at = Date.now();
                document.getElementById("done").click();
                return at;
            });
            const outcome = await outcomeOf(page);
            const doneToResultMs = (await page.evaluate(() => window.sealing.doneAt)) - doneAt;
            t.diagnostic(`ink: ${ink.arrived} points arrived, ${ink.drawn} drawn in ${ink.frames} frames, at most ${ink.mostInFrame} in a frame, ` +
                         `each drawn within ${ink.mostFramesWaited} frame (longest wait ${ink.longestWaitMs.toFixed(1)} ms, a frame ${frameMs.toFixed(1)} ms); ` +
                         `Done to the page's result: ${doneToResultMs} ms`);
            assert.equal(ink.mostFramesWaited, 1);
            assert.equal(await (await suite.harness.currentRun()).exitCode(5000), 0);

            const { messages } = await page.evaluate(() => window.sealing);
            const bridgeEvents = messages.filter((message) => message?.source === "lumarq-orvanesign-bridge").map(({ event }) => event);
            assert.deepEqual(bridgeEvents, ["present", "accepted", "signing", "sealed"]);
            assert.deepEqual([...penFieldsIn(messages)], [], "pen data reached the page");
            assert.doesNotMatch(outcome.svg, /metadata/);
            assert.deepEqual([outcome.kid, outcome.png, outcome.pad], [keys.strong.thumbprint, "image/png", { serial: 123456, model: 5 }]);

            const { header, record } = openJwe(outcome.jwe, keys.strong.privateFile);
            assert.deepEqual(header, { alg: "RSA-OAEP-256", enc: "A256GCM", kid: keys.strong.thumbprint, cty: "application/json",
                                       origin: sites.sealed, documentHash: kDocumentHash });
            assert.deepEqual([record.origin, record.documentHash, record.purpose], [sites.sealed, kDocumentHash, kPurpose]);
            const { evidence } = record;
            assert.deepEqual(evidence.points.map(({ x, y, touch }) => [x, y, touch ? 1 : 0]), expected);
            assert.ok(evidence.points.every(({ t }, i) => Number.isInteger(t) && t >= (evidence.points[i - 1]?.t ?? 0)), "each point's time");
            assert.deepEqual([evidence.pad, evidence.size, evidence.strokes.length], [{ serial: 123456, model: 5 }, { width: 2150, height: 1400 }, 20]);
            assert.ok(Math.abs(Date.parse(record.started) - doneAt) < 60_000 && record.started.endsWith("Z"), `started ${record.started}`);
        });

        // Each ends the signing with its code; the host ends (the suite checks none is left).
        const endings = {
            // Clicked after the call has answered: the window closes at once, and could before the answer.
            "Cancel in the signing window": [(window) => window.evaluate(() => setTimeout(() => document.getElementById("cancel").click())),
                                             ErrorCode.signingCancelled],
            "closing the signing window": [(window) => window.close(), ErrorCode.signingWindowClosed],
        };
        for (const [how, [end, code]] of Object.entries(endings)) {
            it(`ends a sealed signature on ${how} with ${code}`, async () => {
                const { page, signingWindow } = await startSealing(sites.sealed, ["--loop", "--rate", "500"]);
                await waitFor(() => signingWindow.evaluate(() => window.inkStats.drawn > 0), { what: "ink" });
                await end(signingWindow);
                assert.deepEqual(await outcomeOf(page), { code });
                assert.equal(await (await suite.harness.currentRun()).exitCode(5000), 0);
            });
        }

        // Each refused at once, without starting the host.
        const source = "lumarq-orvanesign-page";
        const seal = { source, request: "seal", timeoutMs: 10_000, documentHash: kDocumentHash, purpose: "Lease", image: {} };
        const refusals = [
            ["an open capture of a site with a pinned key", "sealed", { source, request: "open", timeoutMs: 10_000 }, ErrorCode.sealedOnly],
            ["a seal with a key of the page's own", "sealed", { ...seal, key: "-----BEGIN PUBLIC KEY-----\nMFkwEw==" }, ErrorCode.badRequest],
            ["a seal of a hash that is not SHA-256", "sealed", { ...seal, documentHash: "abc" }, ErrorCode.badRequest],
            ["a seal with a purpose of control characters", "sealed", { ...seal, purpose: "a\u0007" }, ErrorCode.badRequest],
            ["a seal of a site without a key of its own, beside one with a key", "unpinned", seal, ErrorCode.noSealingKey],
            ["a seal of a site whose key is weak", "weak", seal, ErrorCode.sealingKeyRefused],
            ["an open capture of a site whose key is weak", "weak", { source, request: "open", timeoutMs: 10_000 }, ErrorCode.sealingKeyRefused],
        ];
        it("refuses, without starting the host, every capture that could let pen data out unsealed", async () => {
            const outcomes = [];
            for (const [what, site, request] of refusals) {
                const page = await openSite(sites[site]);
                const answer = await page.evaluate((request) => new Promise((resolve) => {
                    window.addEventListener("message", ({ data }) => data?.event === "error" && resolve(data.code));
                    window.postMessage({ ...request, id: 7 }, "/");
                }), request);
                outcomes.push([what, site, answer]);
                await page.close();
            }
            assert.deepEqual(outcomes, refusals.map(([what, site, , code]) => [what, site, code]));
            assert.deepEqual(suite.harness.newRuns(), [], "a host was started");
        });

        it("shows each pinned key's thumbprint on the options page, and why the weak one is refused", async () => {
            const options = await suite.padBrowser.openExtensionPage("options.html");
            const items = await waitFor(async () => {
                const now = await options.$$eval("#sealing-keys li", (list) => list.map((item) => [item.dataset.origin, item.textContent]));
                return now.length === 2 && now;
            }, { what: "the options page to list the keys" });
            const text = Object.fromEntries(items);
            assert.match(text[sites.sealed], new RegExp(`RSA-OAEP-256, thumbprint ${keys.strong.thumbprint}`));
            assert.match(text[sites.weak], /refused, so this site gets no signature: .*(2048|3072)/);
        });
    });
}
