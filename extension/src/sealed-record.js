// The sealed record of a signature: the evidence of the capture with what it was given for (the
// site, the document's hash, the purpose), encrypted to the site's pinned key as a compact JWE
// (RFC 7516) that only the key's holder opens. Only WebCrypto. The page library's
// sealed-record.js checks the same layout when the record is opened: the two are kept in step.
// The document hash and purpose checks are the page library's own (seal-fields.js, laid out beside).
import { base64url } from "./base64url.js";
import { documentHashProblem, kMaxPurposeLength, purposeProblem } from "./seal-fields.js";

export const kSealedFormat = "lumarq-sealed-signature";
export const kSealedVersion = 1;
export { documentHashProblem, kMaxPurposeLength, purposeProblem };

export function normaliseDocumentHash(text) {
    return text.toLowerCase();
}

// The record to seal. evidence is the page library's buildEvidence() of the capture; startedAt
// (a Date, a time value or a date text) is when the capture began, written as UTC.
export function buildSealedRecord({ evidence, origin, documentHash, purpose, startedAt, extensionVersion, hostVersion }) {
    const problem = documentHashProblem(documentHash) ?? purposeProblem(purpose);
    if (problem) {
        throw new TypeError(problem);
    }
    return {
        format: kSealedFormat,
        version: kSealedVersion,
        origin,
        documentHash: normaliseDocumentHash(documentHash),
        purpose,
        started: new Date(startedAt).toISOString(),
        extensionVersion,
        hostVersion: hostVersion ?? null,
        evidence,
    };
}

const kAesGcm = { name: "AES-GCM", length: 256 };
const kKeyWrapBits = 256;
const bytesOf = (text) => new TextEncoder().encode(text);

function concat(...parts) {
    const out = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
    parts.reduce((at, part) => (out.set(part, at), at + part.length), 0);
    return out;
}

function uint32(value) {
    const out = new Uint8Array(4);
    new DataView(out.buffer).setUint32(0, value);
    return out;
}

// RFC 7518 section 4.6.2: the Concat KDF (NIST SP 800-56A) for a 256-bit key, which one SHA-256
// round gives: round 1, Z, then AlgorithmID, empty PartyUInfo and PartyVInfo, and the key's length.
async function concatKdf(sharedSecret, alg) {
    const algorithmId = bytesOf(alg);
    const info = concat(uint32(algorithmId.length), algorithmId, uint32(0), uint32(0), uint32(kKeyWrapBits));
    return new Uint8Array(await crypto.subtle.digest("SHA-256", concat(uint32(1), sharedSecret, info)));
}

// ECDH-ES+A256KW: an ephemeral key pair on the pinned key's curve agrees a secret with it, the
// KDF makes it a key-wrapping key, and AES-KW wraps the content key.
async function wrapForEc(cek, { alg, key }) {
    const { namedCurve } = key.algorithm;
    const ephemeral = await crypto.subtle.generateKey({ name: "ECDH", namedCurve }, true, ["deriveBits"]);
    const bits = { "P-256": 256, "P-384": 384 }[namedCurve];
    const shared = await crypto.subtle.deriveBits({ name: "ECDH", public: key }, ephemeral.privateKey, bits);
    const kek = await crypto.subtle.importKey("raw", await concatKdf(new Uint8Array(shared), alg), "AES-KW", false, ["wrapKey"]);
    const { kty, crv, x, y } = await crypto.subtle.exportKey("jwk", ephemeral.publicKey);
    return { epk: { kty, crv, x, y }, encryptedKey: await crypto.subtle.wrapKey("raw", cek, kek, "AES-KW") };
}

async function wrapContentKey(cek, sealingKey) {
    if (sealingKey.alg === "RSA-OAEP-256") {
        const raw = await crypto.subtle.exportKey("raw", cek);
        return { encryptedKey: await crypto.subtle.encrypt({ name: "RSA-OAEP" }, sealingKey.key, raw) };
    }
    return wrapForEc(cek, sealingKey);
}

// The record's JSON as a compact JWE to sealingKey (checkSealingKey's result): A256GCM content
// encryption, the protected header naming the key (kid), the origin and the document hash so a
// service files the record without opening it.
export async function sealRecord(record, sealingKey) {
    const cek = await crypto.subtle.generateKey(kAesGcm, true, ["encrypt"]);
    const { epk, encryptedKey } = await wrapContentKey(cek, sealingKey);
    const header = {
        alg: sealingKey.alg,
        enc: "A256GCM",
        kid: sealingKey.kid,
        cty: "application/json",
        origin: record.origin,
        documentHash: record.documentHash,
        ...(epk ? { epk } : {}),
    };
    const protectedHeader = base64url(bytesOf(JSON.stringify(header)));
    const iv = crypto.getRandomValues(new Uint8Array(12));
    const sealed = new Uint8Array(await crypto.subtle.encrypt(
        { name: "AES-GCM", iv, additionalData: bytesOf(protectedHeader), tagLength: 128 },
        cek, bytesOf(JSON.stringify(record))));
    const tagAt = sealed.length - 16;
    return [protectedHeader, base64url(new Uint8Array(encryptedKey)), base64url(iv),
            base64url(sealed.subarray(0, tagAt)), base64url(sealed.subarray(tagAt))].join(".");
}
