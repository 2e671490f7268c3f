// A sealed signature as its key's holder opens it: the compact JWE the extension sealed to the
// site's pinned key, decrypted with the private key, checked against the document it was given for
// and against the record's layout. Opening needs Node.js and the npm package jose, loaded only
// then, so the checks alone also load in a page. The extension's sealed-record.js writes the
// layout checked here: the two are kept in step.
import { checkEvidence } from "./evidence.js";
import { documentHashProblem, kMaxPurposeLength, purposeProblem } from "./seal-fields.js";

export { documentHashProblem, kMaxPurposeLength, purposeProblem };

export const kSealedFormat = "lumarq-sealed-signature";
export const kSealedVersion = 1;
const kAlgorithms = ["RSA-OAEP-256", "ECDH-ES+A256KW"];

function isOrigin(text) {
    try {
        return new URL(text).origin === text;
    } catch {
        return false;
    }
}

const isUtcTime = (text) => typeof text === "string" && !Number.isNaN(Date.parse(text)) &&
    new Date(text).toISOString() === text;

// What is wrong with an opened record (parsed JSON): an empty list when it is well formed.
export function checkSealedRecord(record) {
    if (record === null || typeof record !== "object") {
        return ["not an object"];
    }
    if (record.format !== kSealedFormat || record.version !== kSealedVersion) {
        return [`format must be "${kSealedFormat}" version ${kSealedVersion}`];
    }
    const { origin, documentHash, purpose, started, extensionVersion, hostVersion, evidence } = record;
    const problems = [
        isOrigin(origin) ? null : "origin must be a web origin",
        documentHashProblem(documentHash) ?? (documentHash === documentHash.toLowerCase() ? null : "documentHash must be in lower case"),
        purposeProblem(purpose),
        isUtcTime(started) ? null : "started must be a UTC time as YYYY-MM-DDTHH:MM:SS.sssZ",
        typeof extensionVersion === "string" && extensionVersion !== "" ? null : "extensionVersion must be a text",
        hostVersion === null || typeof hostVersion === "string" ? null : "hostVersion must be null or a text",
    ];
    return [...problems.filter(Boolean), ...checkEvidence(evidence).map((problem) => `evidence: ${problem}`)];
}

// Why a sealed record did not open; code says which check failed.
export class SealedRecordError extends Error {
    constructor(code, message) {
        super(message);
        this.name = "SealedRecordError";
        this.code = code;
    }
}

export const SealedRecordProblem = Object.freeze({
    notJwe: "not-jwe",
    badKey: "bad-key",
    wrongKey: "wrong-key",
    altered: "altered",
    malformedRecord: "malformed-record",
    otherDocument: "other-document",
});

function protectedHeaderOf(jose, jwe) {
    let header;
    try {
        header = typeof jwe === "string" && jwe.trim().split(".").length === 5 ? jose.decodeProtectedHeader(jwe.trim()) : null;
    } catch {
        header = null;
    }
    if (!kAlgorithms.includes(header?.alg) || header.enc !== "A256GCM") {
        throw new SealedRecordError(SealedRecordProblem.notJwe,
            `not a sealed signature: a compact JWE with alg ${kAlgorithms.join(" or ")} and enc A256GCM`);
    }
    return header;
}

async function privateKeyOf(jose, crypto, pem) {
    let key;
    try {
        key = crypto.createPrivateKey(pem);
    } catch {
        throw new SealedRecordError(SealedRecordProblem.badKey, "the key is not a private key in PEM");
    }
    const kid = await jose.calculateJwkThumbprint(crypto.createPublicKey(key).export({ format: "jwk" }));
    return { key, kid };
}

async function decryptedRecord(jose, jwe, key) {
    let plaintext;
    try {
        ({ plaintext } = await jose.compactDecrypt(jwe, key, {
            keyManagementAlgorithms: kAlgorithms, contentEncryptionAlgorithms: ["A256GCM"],
        }));
    } catch {
        throw new SealedRecordError(SealedRecordProblem.altered,
            "the sealed signature does not decrypt with the key it was sealed for: it was changed or damaged");
    }
    try {
        return JSON.parse(new TextDecoder("utf-8", { fatal: true }).decode(plaintext));
    } catch {
        throw new SealedRecordError(SealedRecordProblem.malformedRecord, "the sealed record is not JSON");
    }
}

function checkOpened(record, header) {
    const problems = checkSealedRecord(record);
    if (problems.length === 0 && (header.origin !== record.origin || header.documentHash !== record.documentHash)) {
        problems.push("the header's origin and document hash differ from the record's");
    }
    if (problems.length > 0) {
        throw new SealedRecordError(SealedRecordProblem.malformedRecord, `the sealed record is malformed: ${problems.join("; ")}`);
    }
}

// Opens a sealed signature (the compact JWE's text) with the private key's PEM (PKCS #8, or the
// PKCS #1 or SEC 1 form) and checks it was sealed for documentBytes: resolves { header, record },
// or rejects with a SealedRecordError.
export async function openSealed(jwe, privateKeyPem, documentBytes) {
    const [jose, crypto] = await Promise.all([import("jose"), import("node:crypto")]);
    const header = protectedHeaderOf(jose, jwe);
    const { key, kid } = await privateKeyOf(jose, crypto, privateKeyPem);
    if (header.kid !== kid) {
        throw new SealedRecordError(SealedRecordProblem.wrongKey,
            `sealed for the key with thumbprint ${header.kid}, not this key (${kid})`);
    }
    const record = await decryptedRecord(jose, jwe.trim(), key);
    checkOpened(record, header);
    const documentHash = crypto.createHash("sha256").update(documentBytes).digest("hex");
    if (documentHash !== record.documentHash) {
        throw new SealedRecordError(SealedRecordProblem.otherDocument,
            `another document: sealed for SHA-256 ${record.documentHash}, this one's is ${documentHash}`);
    }
    return { header, record };
}
