import type { SignatureEvidence } from "./index.js";

/** An opened sealed signature (format "lumarq-sealed-signature", version 1); see the README. */
export interface SealedRecord {
    format: "lumarq-sealed-signature";
    version: 1;
    origin: string;
    /** The SHA-256 of the document signed, 64 lower-case hex digits. */
    documentHash: string;
    purpose: string;
    /** When the capture began by the signing computer's clock, UTC (YYYY-MM-DDTHH:MM:SS.sssZ). */
    started: string;
    extensionVersion: string;
    hostVersion: string | null;
    evidence: SignatureEvidence;
}

/** The sealed signature's protected header: what a service files it by without opening it. */
export interface SealedHeader {
    alg: "RSA-OAEP-256" | "ECDH-ES+A256KW";
    enc: "A256GCM";
    /** The pinned key's RFC 7638 SHA-256 thumbprint. */
    kid: string;
    cty: "application/json";
    origin: string;
    documentHash: string;
    epk?: { kty: "EC"; crv: string; x: string; y: string };
}

export declare const kSealedFormat: "lumarq-sealed-signature";
export declare const kSealedVersion: 1;
export declare const kMaxPurposeLength: 200;
/** Why text is not a document hash (a SHA-256 as 64 hex digits), or null when it is one. */
export declare function documentHashProblem(text: unknown): string | null;
/** Why text is not a purpose (one line of 1 to 200 characters), or null when it is one. */
export declare function purposeProblem(text: unknown): string | null;
/** What is wrong with an opened record (parsed JSON): an empty list when it is well formed. */
export declare function checkSealedRecord(record: unknown): string[];

export declare const SealedRecordProblem: {
    readonly notJwe: "not-jwe";
    readonly badKey: "bad-key";
    readonly wrongKey: "wrong-key";
    readonly altered: "altered";
    readonly malformedRecord: "malformed-record";
    readonly otherDocument: "other-document";
};

export declare class SealedRecordError extends Error {
    readonly code: (typeof SealedRecordProblem)[keyof typeof SealedRecordProblem];
}

/** Opens a sealed signature with the private key's PEM (Node.js, and the jose package) and checks
 * it was sealed for the document's bytes; rejects with a SealedRecordError. */
export declare function openSealed(jwe: string, privateKeyPem: string, documentBytes: Uint8Array):
    Promise<{ header: SealedHeader; record: SealedRecord }>;
