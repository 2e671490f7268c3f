// Asks the signing extension for a signature from the pad: open() resolves to a running capture.
import { listenToBridge, newRequestId, postRequest } from "./bridge-channel.js";
import { Capture } from "./capture.js";
import { ErrorCode, SignatureError } from "./errors.js";
import { checkEvidence, kEvidenceFormat, kEvidenceVersion } from "./evidence.js";

export { Capture, checkEvidence, ErrorCode, kEvidenceFormat, kEvidenceVersion, SignatureError };

export const kDefaultTimeoutMs = 15_000;
// The longest wait the extension grants for the pad to open.
export const kMaxTimeoutMs = 120_000;

// timeoutMs bounds both the wait for the extension to take the request (else "extension-missing")
// and the wait for the pad to open (else "timeout").
export function open({ timeoutMs = kDefaultTimeoutMs } = {}) {
    if (!Number.isInteger(timeoutMs) || timeoutMs < 1 || timeoutMs > kMaxTimeoutMs) {
        return Promise.reject(new RangeError(`timeoutMs must be a whole number from 1 to ${kMaxTimeoutMs}`));
    }
    const id = newRequestId();
    return new Promise((resolve, reject) => {
        let capture = null;
        const stopListening = listenToBridge(id, (message) => {
            if (capture) {
                capture.receive(message);
                if (capture.over) {
                    stopListening();
                }
            } else if (message.event === "accepted") {
                clearTimeout(noBridge);
            } else if (message.event === "opened") {
                capture = new Capture(id, message);
                resolve(capture);
            } else if (message.event === "error") {
                fail(message.code);
            }
        });
        const fail = (code) => {
            clearTimeout(noBridge);
            stopListening();
            reject(new SignatureError(code));
        };
        const noBridge = setTimeout(() => fail(ErrorCode.extensionMissing), timeoutMs);
        postRequest(id, "open", { timeoutMs });
    });
}
