// Asks the signing extension for a signature from the pad: isAvailable() tells quickly whether
// the extension serves this page, open() resolves to a running capture.
import { listenToBridge, newRequestId, postRequest, refusesAnother } from "./bridge-channel.js";
import { Capture } from "./capture.js";
import { ErrorCode, SignatureError } from "./errors.js";
import { checkEvidence, kEvidenceFormat, kEvidenceVersion } from "./evidence.js";
import { InkCanvas } from "./ink-canvas.js";
import { kMaxPurposeLength } from "./seal-fields.js";
import { requestSealedSignature } from "./sealed-signature.js";

export {
    Capture, checkEvidence, ErrorCode, InkCanvas, kEvidenceFormat, kEvidenceVersion, kMaxPurposeLength,
    requestSealedSignature, SignatureError,
};

export const kDefaultTimeoutMs = 15_000;
// The longest wait the extension grants for the pad to open.
export const kMaxTimeoutMs = 120_000;
// How long the bridge may take to answer a hello on a page that has loaded: it answers at once.
export const kDefaultPresenceTimeoutMs = 250;

function checkTimeout(timeoutMs) {
    if (!Number.isInteger(timeoutMs) || timeoutMs < 1 || timeoutMs > kMaxTimeoutMs) {
        throw new SignatureError(ErrorCode.badRequest, `timeoutMs must be a whole number from 1 to ${kMaxTimeoutMs}`);
    }
}

// Resolves true when the signing extension's bridge serves this page, false when none answered
// within timeoutMs (the extension is missing, or this site is not on its list).
export async function isAvailable({ timeoutMs = kDefaultPresenceTimeoutMs } = {}) {
    checkTimeout(timeoutMs);
    const id = newRequestId();
    return new Promise((resolve) => {
        const settle = (present) => {
            clearTimeout(timer);
            stopListening();
            resolve(present);
        };
        const stopListening = listenToBridge(id, (message) => settle(message.event === "present"));
        const timer = setTimeout(() => settle(false), timeoutMs);
        postRequest(id, "hello");
    });
}

// Asks for the pad: "extension-missing" at once when no bridge answers the hello; timeoutMs
// bounds the wait for the extension to take the request and for the pad to open (else
// "timeout"). Aborting signal rejects with "aborted" while the pad opens, and ends the capture
// with "aborted" once it has opened; either way the pad is let go.
export async function open({ timeoutMs = kDefaultTimeoutMs, signal } = {}) {
    checkTimeout(timeoutMs);
    const present = !signal?.aborted && await isAvailable({ timeoutMs: Math.min(timeoutMs, kDefaultPresenceTimeoutMs) });
    if (signal?.aborted) {
        throw new SignatureError(ErrorCode.aborted);
    }
    if (!present) {
        throw new SignatureError(ErrorCode.extensionMissing);
    }
    return requestCapture(timeoutMs, signal);
}

function requestCapture(timeoutMs, signal) {
    const id = newRequestId();
    return new Promise((resolve, reject) => {
        let capture = null;
        const stopListening = listenToBridge(id, (message) => {
            if (capture) {
                capture.receive(message);
            } else if (message.event === "accepted") {
                clearTimeout(noBridge);
            } else if (message.event === "opened") {
                signal?.removeEventListener("abort", abort);
                capture = new Capture(id, message, signal);
                capture.ended.then(stopListening, stopListening);
                resolve(capture);
            } else if (message.event === "error" && !refusesAnother(message)) {
                fail(message.code);
            }
        });
        const fail = (code) => {
            clearTimeout(noBridge);
            stopListening();
            signal?.removeEventListener("abort", abort);
            reject(new SignatureError(code));
        };
        const abort = () => {
            postRequest(id, "abort");
            fail(ErrorCode.aborted);
        };
        signal?.addEventListener("abort", abort, { once: true });
        const noBridge = setTimeout(() => fail(ErrorCode.extensionMissing), timeoutMs);
        postRequest(id, "open", { timeoutMs });
    });
}
