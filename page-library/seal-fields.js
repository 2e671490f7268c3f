// What a page asks to have sealed, checked alike by the page library before it asks and by the
// opening of a sealed record: the document's hash and the purpose shown to the person signing.
export const kMaxPurposeLength = 200;

// A document hash is the SHA-256 of the document signed, as 64 hex digits.
export function documentHashProblem(text) {
    return typeof text === "string" && /^[0-9a-fA-F]{64}$/.test(text) ? null
        : "the document hash must be the document's SHA-256 as 64 hex digits";
}

// Control characters, line and paragraph separators, and the marks that reorder text.
const kUnprintable = /[\p{Cc}\p{Zl}\p{Zp}\u200e\u200f\u202a-\u202e\u2066-\u2069]/u;

export function purposeProblem(text) {
    if (typeof text !== "string" || text.trim() === "") {
        return "the purpose must be a text that is not empty";
    }
    if ([...text].length > kMaxPurposeLength) {
        return `the purpose must be at most ${kMaxPurposeLength} characters`;
    }
    return kUnprintable.test(text) ? "the purpose must be one line without control characters" : null;
}
