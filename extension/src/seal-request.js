// A page's request for a sealed signature, as the background reads it, and whether a site may
// have the kind of capture it asks for. Pure: no browser API, so that node's tests load it.
import { documentHashProblem, normaliseDocumentHash, purposeProblem } from "./sealed-record.js";

const kMaxTimeoutMs = 120_000;
const kMaxPictureSide = 4096;
const kMaxStyleLength = 64;
const kFields = "activated,documentHash,image,purpose,request,timeoutMs,visible";

const isStyle = (value) => typeof value === "string" && value.length > 0 && value.length <= kMaxStyleLength;
const isSide = (value) => Number.isInteger(value) && value >= 1 && value <= kMaxPictureSide;
const kImageOptionChecks = {
    color: isStyle,
    background: isStyle,
    lineWidth: (value) => Number.isFinite(value) && value > 0 && value <= kMaxPictureSide,
    crop: (value) => typeof value === "boolean",
    margin: (value) => Number.isFinite(value) && value >= 0 && value <= kMaxPictureSide,
    width: isSide,
    height: isSide,
};

// Whether image is a plain object of the picture options the page library documents, each of
// its type and within bounds (a picture of at most 4096 pixels a side).
export function isImageOptions(image) {
    return image !== null && typeof image === "object" && !Array.isArray(image) &&
        Object.entries(image).every(([name, value]) => Object.hasOwn(kImageOptionChecks, name) && kImageOptionChecks[name](value));
}

// Whether request, as the bridge's content script forwards it, asks for a sealed capture with
// exactly its fields, each well formed. A key of the page's own, or any other extra field, fails.
export function isValidSeal(request) {
    return request?.request === "seal" && Object.keys(request).sort().join() === kFields &&
        typeof request.activated === "boolean" && typeof request.visible === "boolean" &&
        Number.isInteger(request.timeoutMs) && request.timeoutMs >= 1 && request.timeoutMs <= kMaxTimeoutMs &&
        documentHashProblem(request.documentHash) === null && purposeProblem(request.purpose) === null &&
        isImageOptions(request.image);
}

// The error code that refuses a capture of kind ("open" or "seal") for a site with this pinned
// key (null: none pinned; { problem }: refused), or null when the capture may go ahead. A site
// with a pinned key gets sealed captures only; a refused key gets none at all.
export function refusalOf(kind, sealingKey) {
    if (sealingKey?.problem) {
        return "sealing-key-refused";
    }
    if (kind === "seal") {
        return sealingKey ? null : "no-sealing-key";
    }
    return sealingKey ? "sealed-only" : null;
}

// The short form of a document hash the signing window shows: its first and last 8 hex digits.
export function documentFingerprint(documentHash) {
    const hash = normaliseDocumentHash(documentHash);
    return `${hash.slice(0, 8)}…${hash.slice(-8)}`;
}
