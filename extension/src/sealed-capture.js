// A sealed capture: the pen's points go from the host to the extension's signing window alone,
// never to the page. The person signs there; Done closes the pad, and once the host has said
// goodbye the points, with their times, the pad's numbers and the document's hash, are sealed to
// the site's pinned key. The page gets that sealed record, a picture of the ink and the pad's
// numbers; before then it learns only that the signing runs, and at the end how it ended.
// Clear in the window forgets the points so far: the record holds the points after the last Clear.
import { buildEvidence } from "./evidence.js";
import { buildSealedRecord, normaliseDocumentHash, sealRecord } from "./sealed-record.js";
import { documentFingerprint } from "./seal-request.js";
import { signatureDataUrl } from "./signature-raster.js";
import { signatureSvg } from "./signature-svg.js";
import { Signature } from "./signature.js";

const api = globalThis.browser ?? globalThis.chrome;
const kWindowPortPrefix = "signing-window:";
const kWindowSize = { width: 620, height: 560 };

// The sealed captures whose signing window may connect, by the token in the window's address.
const awaitingWindow = new Map();

function newToken() {
    return [...crypto.getRandomValues(new Uint8Array(16))].map((byte) => byte.toString(16).padStart(2, "0")).join("");
}

function tell(port, message) {
    try {
        port?.postMessage(message);
    } catch {
        // Gone: its side ends the capture through the port's disconnect.
    }
}

class SealedCapture {
    // capture: the broker's { pagePort, origin, watch, session }; base: the broker's handlers of an
    // open capture, whose ended() releases the pad and tells the page a problem; endWithError(code)
    // tells the page code and lets the host go.
    constructor(capture, base, request, sealingKey, endWithError) {
        Object.assign(this, { capture, base, sealingKey, endWithError });
        this.documentHash = normaliseDocumentHash(request.documentHash);
        this.purpose = request.purpose;
        this.image = request.image;
        this.startedAt = new Date().toISOString();
        this.points = [];
        this.times = [];
        this.token = newToken();
        this.windowPort = null;
        this.windowId = null;
        this.done = false;
        this.over = false;
    }

    handlers() {
        return {
            opened: (reply) => this.opened(reply),
            point: (x, y, p, t) => this.point(x, y, p, t),
            goodbye: () => this.goodbye(),
            ended: (problem, detail) => this.ended(problem, detail),
        };
    }

    async opened(reply) {
        this.capture.watch.opened();
        this.reply = reply;
        awaitingWindow.set(this.token, this);
        const url = api.runtime.getURL(`signing.html?capture=${this.token}`);
        try {
            this.windowId = (await api.windows.create({ url, type: "popup", focused: true, ...kWindowSize })).id;
        } catch (error) {
            console.error("The signing window could not be opened:", error);
            this.windowClosed();
            return;
        }
        if (this.over) {
            this.closeWindow();
        }
    }

    point(x, y, p, t) {
        this.capture.watch.point();
        this.points.push([x, y, p]);
        this.times.push(t);
        tell(this.windowPort, { event: "point", x, y, p });
    }

    // The signing window of this capture has connected: it gets what to show and the points so
    // far, and the page learns that the signing runs.
    windowConnected(port) {
        awaitingWindow.delete(this.token);
        this.windowPort = port;
        port.onMessage.addListener((message) => this.fromWindow(message));
        port.onDisconnect.addListener(() => this.windowClosed());
        tell(port, {
            event: "start", origin: this.capture.origin, purpose: this.purpose,
            fingerprint: documentFingerprint(this.documentHash),
            width: this.reply.maxx, height: this.reply.maxy, points: this.points,
        });
        tell(this.capture.pagePort, { event: "signing" });
    }

    fromWindow({ request } = {}) {
        if (this.done || this.over) {
            return;
        }
        if (request === "clear") {
            this.points = [];
            this.times = [];
        } else if (request === "cancel") {
            this.endWithError(this.capture, "signing-cancelled");
        } else if (request === "done") {
            // The idle limit still runs: it ends a host that never says goodbye.
            this.done = true;
            this.capture.session.finish();
        }
    }

    // Once Done is pressed the record is sealed however the window goes.
    windowClosed() {
        if (!this.over && !this.done) {
            this.endWithError(this.capture, "signing-window-closed");
        }
    }

    goodbye() {
        if (this.done) {
            this.sealing = this.seal().catch((error) => {
                console.error(`The signature for ${this.capture.origin} could not be sealed:`, error);
                tell(this.capture.pagePort, { event: "error", code: "sealing-key-refused" });
            });
        }
    }

    async seal() {
        const { origin, pagePort } = this.capture;
        const { maxx: width, maxy: height, serial, model } = this.reply;
        const pad = Number.isInteger(serial) && Number.isInteger(model) ? { serial, model } : null;
        const evidence = buildEvidence({ pad, width, height, startedAt: this.startedAt, points: this.points, times: this.times });
        const record = buildSealedRecord({
            evidence, origin, documentHash: this.documentHash, purpose: this.purpose, startedAt: this.startedAt,
            extensionVersion: api.runtime.getManifest().version,
            hostVersion: typeof this.reply.version === "string" ? this.reply.version : null,
        });
        const signature = new Signature();
        this.points.forEach(([x, y, p]) => signature.add(x, y, p));
        const [jwe, png] = await Promise.all([sealRecord(record, this.sealingKey),
                                              signatureDataUrl(signature, width, height, this.image)]);
        const svg = signatureSvg(signature, width, height, this.image, { withPoints: false });
        tell(pagePort, { event: "sealed", jwe, kid: this.sealingKey.kid, svg, png, pad });
    }

    ended(problem, detail) {
        this.over = true;
        awaitingWindow.delete(this.token);
        this.base.ended(problem, detail);
        Promise.resolve(this.sealing).finally(() => this.closeWindow());
    }

    closeWindow() {
        if (this.windowId !== null) {
            api.windows.remove(this.windowId).catch(() => {});
            this.windowId = null;
        }
    }

    // A window closed by the person before it connected, or without its port noticing.
    windowRemoved(windowId) {
        if (windowId === this.windowId) {
            this.windowId = null;
            this.windowClosed();
        }
    }
}

// The latest sealed capture, for the window-removed events.
let latest = null;

// The handlers of a sealed capture's host session, built on base, the broker's handlers of an
// open capture.
export function sealedHandlers(capture, base, request, sealingKey, endWithError) {
    const sealed = new SealedCapture(capture, base, request, sealingKey, endWithError);
    capture.sealed = true;
    latest = sealed;
    return sealed.handlers();
}

// A signing window's port: accepted from the extension's own signing page alone, for the capture
// whose token its address holds.
export function acceptSigningWindow(port) {
    if (!port.name.startsWith(kWindowPortPrefix)) {
        return;
    }
    const fromSigningPage = port.sender?.id === api.runtime.id &&
        port.sender?.url?.startsWith(api.runtime.getURL("signing.html"));
    const capture = fromSigningPage ? awaitingWindow.get(port.name.slice(kWindowPortPrefix.length)) : undefined;
    if (capture) {
        capture.windowConnected(port);
    } else {
        port.disconnect();
    }
}

export function signingWindowRemoved(windowId) {
    latest?.windowRemoved(windowId);
}
