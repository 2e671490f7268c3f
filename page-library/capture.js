// A capture that the pad has opened for the page: the pad's size, the pen points as they come,
// and the capture's end.
import { postRequest } from "./bridge-channel.js";
import { ErrorCode, SignatureError } from "./errors.js";
import { buildEvidence } from "./evidence.js";
import { signatureDataUrl, signaturePng } from "./signature-raster.js";
import { signatureSvg } from "./signature-svg.js";
import { Signature } from "./signature.js";

const frozenCopy = (list) => Object.freeze(list.map((item) => Object.freeze([...item])));

export class Capture extends EventTarget {
    #id;
    #signature = new Signature();
    #settle;
    #closing = false;
    #times = [];
    #signal;
    #abort = () => {
        postRequest(this.#id, "abort");
        this.#fail(ErrorCode.aborted);
    };

    // signal: the AbortSignal given to open(), which ends the capture with "aborted".
    constructor(id, { device, width, height, pad }, signal = null) {
        super();
        this.#id = id;
        this.device = device;
        this.width = width;
        this.height = height;
        // The pad's serial and model numbers, or null from a host that does not give them.
        this.pad = pad ? { serial: pad.serial, model: pad.model } : null;
        this.startedAt = new Date().toISOString();
        this.over = false;
        // Resolves with the host's goodbye, or rejects with the error that ended the capture.
        this.ended = new Promise((resolve, reject) => {
            this.#settle = { resolve, reject };
        });
        this.ended.catch(() => {});
        this.#signal = signal;
        signal?.addEventListener("abort", this.#abort, { once: true });
    }

    // Every point in order, as [X, Y, P] with P 1 while the pen touches and 0 where it lifts; a
    // frozen copy, so that a page cannot change what toSvg() draws.
    get points() {
        return frozenCopy(this.#signature.points);
    }

    // The pen-down runs: arrays of [X, Y], each ending where the pen lifts; a frozen copy.
    get strokes() {
        return Object.freeze(this.#signature.strokes.map(frozenCopy));
    }

    // Each point's arrival time at the host, in milliseconds from the pad's opening, in the
    // order of points; null from a host that gives none. A frozen copy.
    get times() {
        return Object.freeze([...this.#times]);
    }

    // The capture as a record to keep: see the README's "Evidence".
    toEvidence() {
        return buildEvidence({ pad: this.pad, width: this.width, height: this.height,
                               startedAt: this.startedAt, points: this.points, times: this.#times });
    }

    // The drawing as SVG text, in the pad's logical units. options: color ("black"), lineWidth
    // (logical units), background ("transparent"), crop (to the ink) with margin, and width and
    // height of the picture.
    toSvg(options) {
        return signatureSvg(this.#signature, this.width, this.height, options);
    }

    // The drawing as a PNG Blob, with toSvg()'s options.
    toPng(options) {
        return signaturePng(this.#signature, this.width, this.height, options);
    }

    // The PNG as a data: URL.
    toDataUrl(options) {
        return signatureDataUrl(this.#signature, this.width, this.height, options);
    }

    // Forgets the points so far and their times, for a new signature on the pad that stays open.
    clear() {
        this.#signature.clear();
        this.#times = [];
        this.dispatchEvent(new CustomEvent("clear"));
    }

    // Asks the pad to close; resolves with the host's goodbye.
    close() {
        if (!this.over && !this.#closing) {
            this.#closing = true;
            postRequest(this.#id, "close");
        }
        return this.ended;
    }

    // Takes one answer of the bridge for this capture. A bad-request answers a refused request
    // (such as another script's open with this capture's id) and leaves the capture running.
    receive(message) {
        if (message.event === "point") {
            const { x, y, touch } = message;
            const t = Number.isInteger(message.t) ? message.t : null;
            this.#signature.add(x, y, touch ? 1 : 0);
            this.#times.push(t);
            this.dispatchEvent(new CustomEvent("point", { detail: { x, y, touch, t } }));
        } else if (message.event === "goodbye") {
            this.#end(null);
            this.#settle.resolve(message.text);
        } else if (message.event === "error" && message.code !== ErrorCode.badRequest) {
            this.#fail(message.code);
        }
    }

    #fail(code) {
        const error = new SignatureError(code);
        this.#end(error);
        this.#settle.reject(error);
    }

    #end(error) {
        this.over = true;
        this.#signal?.removeEventListener("abort", this.#abort);
        this.dispatchEvent(new CustomEvent("end", { detail: { error } }));
    }
}
