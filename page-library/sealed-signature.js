// Asks the signing extension for a sealed signature: the person signs in the extension's own
// window, and the page receives the pen's points and times only sealed to the key the extension
// pins for this site, bound to the document's hash, with a picture of the signature.
import { listenToBridge, newRequestId, postRequest, refusesAnother } from "./bridge-channel.js";
import { ErrorCode, SignatureError } from "./errors.js";
import { isAvailable, kDefaultPresenceTimeoutMs, kDefaultTimeoutMs, kMaxTimeoutMs } from "./index.js";
import { documentHashProblem, purposeProblem } from "./seal-fields.js";

function badRequest(message) {
    return new SignatureError(ErrorCode.badRequest, message);
}

// The request's fields as the extension takes them, or throws "bad-request".
function requestFields({ documentHash, purpose, image = {}, timeoutMs = kDefaultTimeoutMs }) {
    if (!Number.isInteger(timeoutMs) || timeoutMs < 1 || timeoutMs > kMaxTimeoutMs) {
        throw badRequest(`timeoutMs must be a whole number from 1 to ${kMaxTimeoutMs}`);
    }
    const problem = documentHashProblem(documentHash) ?? purposeProblem(purpose);
    if (problem) {
        throw badRequest(problem);
    }
    if (image === null || typeof image !== "object") {
        throw badRequest("image must be an object of picture options");
    }
    return { timeoutMs, documentHash: documentHash.toLowerCase(), purpose, image: { ...image } };
}

function pngBlob(dataUrl) {
    const bytes = Uint8Array.from(atob(dataUrl.slice(dataUrl.indexOf(",") + 1)), (c) => c.charCodeAt(0));
    return new Blob([bytes], { type: "image/png" });
}

// Resolves { jwe, kid, svg, png (a Blob), pad } once the person pressed Done in the signing window
// and the record is sealed; rejects with a SignatureError. onStarted() is called once the pad is
// open and the signing window shows. timeoutMs bounds the wait for the pad to open; aborting
// signal ends the signing ("aborted") and closes the window.
export async function requestSealedSignature(options = {}) {
    const { signal, onStarted } = options;
    const fields = requestFields(options);
    const present = !signal?.aborted && await isAvailable({ timeoutMs: Math.min(fields.timeoutMs, kDefaultPresenceTimeoutMs) });
    if (signal?.aborted) {
        throw new SignatureError(ErrorCode.aborted);
    }
    if (!present) {
        throw new SignatureError(ErrorCode.extensionMissing);
    }
    return requestSeal(fields, signal, onStarted);
}

function requestSeal(fields, signal, onStarted) {
    const id = newRequestId();
    return new Promise((resolve, reject) => {
        let signing = false;
        const settle = () => {
            clearTimeout(noBridge);
            stopListening();
            signal?.removeEventListener("abort", abort);
        };
        const stopListening = listenToBridge(id, (message) => {
            if (message.event === "accepted") {
                clearTimeout(noBridge);
            } else if (message.event === "signing") {
                signing = true;
                onStarted?.();
            } else if (message.event === "sealed") {
                settle();
                const { jwe, kid, svg, png, pad } = message;
                resolve({ jwe, kid, svg, png: pngBlob(png), pad: pad ? { serial: pad.serial, model: pad.model } : null });
            } else if (message.event === "error" && !refusesAnother(message) &&
                       !(signing && message.code === ErrorCode.badRequest)) {
                // A refusal of another script's request with this id, or once the signing runs
                // any bad-request, answers that stray request and leaves the signing alone.
                fail(message.code);
            }
        });
        const fail = (code) => {
            settle();
            // A refused request leaves the bridge's port open: let it go.
            if (code === ErrorCode.badRequest) {
                postRequest(id, "abort");
            }
            reject(new SignatureError(code));
        };
        const abort = () => {
            postRequest(id, "abort");
            fail(ErrorCode.aborted);
        };
        signal?.addEventListener("abort", abort, { once: true });
        const noBridge = setTimeout(() => fail(ErrorCode.extensionMissing), fields.timeoutMs);
        postRequest(id, "seal", fields);
    });
}
