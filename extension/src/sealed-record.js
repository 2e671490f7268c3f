// Development placeholder for the sealed record: RSA-OAEP-256 with A256GCM only. The real
// module replaces this file.
const subtle = globalThis.crypto.subtle;
export const kSealedFormat = "lumarq-sealed-signature";
export const kSealedVersion = 1;
export const kMaxPurposeLength = 200;

export function normaliseDocumentHash(text) {
    return String(text).toLowerCase();
}

export function documentHashProblem(text) {
    return typeof text === "string" && /^[0-9a-fA-F]{64}$/.test(text) ? null : "not 64 hex digits";
}

export function purposeProblem(text) {
    if (typeof text !== "string" || text.length === 0 || text.length > kMaxPurposeLength) {
        return `not a text of 1 to ${kMaxPurposeLength} characters`;
    }
    return /\p{Cc}/u.test(text) ? "holds a control character" : null;
}

export function buildSealedRecord({ evidence, origin, documentHash, purpose, startedAt, extensionVersion, hostVersion }) {
    return { format: kSealedFormat, version: kSealedVersion, origin, documentHash: normaliseDocumentHash(documentHash),
             purpose, started: startedAt, extensionVersion, hostVersion: hostVersion ?? null, evidence };
}

function base64url(bytes) {
    let text = "";
    for (const byte of new Uint8Array(bytes)) {
        text += String.fromCharCode(byte);
    }
    return btoa(text).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
}

export async function sealRecord(record, sealingKey) {
    const header = { alg: sealingKey.alg, enc: "A256GCM", kid: sealingKey.kid, cty: "application/json",
                     origin: record.origin, documentHash: record.documentHash };
    const protectedHeader = base64url(new TextEncoder().encode(JSON.stringify(header)));
    const cek = await subtle.generateKey({ name: "AES-GCM", length: 256 }, true, ["encrypt"]);
    const wrapped = await subtle.encrypt({ name: "RSA-OAEP" }, sealingKey.key, await subtle.exportKey("raw", cek));
    const iv = crypto.getRandomValues(new Uint8Array(12));
    const sealed = new Uint8Array(await subtle.encrypt(
        { name: "AES-GCM", iv, additionalData: new TextEncoder().encode(protectedHeader), tagLength: 128 },
        cek, new TextEncoder().encode(JSON.stringify(record))));
    return [protectedHeader, base64url(wrapped), base64url(iv), base64url(sealed.slice(0, -16)), base64url(sealed.slice(-16))].join(".");
}
