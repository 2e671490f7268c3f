// The public keys an administrator pins for sealing a site's signatures, as policy gives them
// (an SPKI PEM or a JWK): which are strong enough, and how each one seals. Only WebCrypto.
import { base64url, bytesOfBase64 } from "./base64url.js";

export const kMinRsaBits = 3072;
const kCurves = ["P-256", "P-384"];
const kRsa = { name: "RSA-OAEP", hash: "SHA-256" };
const kWanted = `an RSA key of ${kMinRsaBits} bits or more, or an EC key on ${kCurves.join(" or ")}`;

// The members RFC 7638 hashes for each key type, in its (lexicographic) order.
const kRequiredMembers = { RSA: ["e", "kty", "n"], EC: ["crv", "kty", "x", "y"], OKP: ["crv", "kty", "x"] };
const kPrivateMembers = ["d", "p", "q", "dp", "dq", "qi", "oth", "k"];

function requiredMembers(jwk) {
    const names = kRequiredMembers[jwk?.kty];
    if (!names || names.some((name) => typeof jwk[name] !== "string")) {
        return null;
    }
    return Object.fromEntries(names.map((name) => [name, jwk[name]]));
}

// The key's RFC 7638 thumbprint: SHA-256 of its required members as JSON, in base64url.
export async function jwkThumbprint(jwk) {
    const members = requiredMembers(jwk);
    if (!members) {
        throw new TypeError("a JWK of type RSA, EC or OKP with its required members");
    }
    const json = new TextEncoder().encode(JSON.stringify(members));
    return base64url(new Uint8Array(await crypto.subtle.digest("SHA-256", json)));
}

const kPem = /^\s*-----BEGIN ([A-Z0-9 ]+)-----([A-Za-z0-9+/=\s]*)-----END \1-----\s*$/;

// An SPKI PEM as a JWK, by importing it as each kind of key a sealing key may be.
async function jwkOfPem(pem) {
    const [, label, body] = kPem.exec(typeof pem === "string" ? pem : "") ?? [];
    if (label !== "PUBLIC KEY") {
        return { problem: label?.includes("PRIVATE") ? "a private key: pin the public key only"
            : "not a PEM public key (-----BEGIN PUBLIC KEY-----, SPKI)" };
    }
    let der;
    try {
        der = bytesOfBase64(body.replace(/\s/g, ""));
    } catch {
        return { problem: "the PEM's body is not base64" };
    }
    for (const algorithm of [kRsa, ...["P-256", "P-384", "P-521"].map((namedCurve) => ({ name: "ECDH", namedCurve }))]) {
        try {
            const key = await crypto.subtle.importKey("spki", der, algorithm, true, algorithm === kRsa ? ["encrypt"] : []);
            return { jwk: await crypto.subtle.exportKey("jwk", key) };
        } catch {
            // Not this kind of key: try the next.
        }
    }
    return { problem: `not a key this extension can seal with: ${kWanted}` };
}

function jwkProblem(jwk) {
    if (jwk === null || typeof jwk !== "object" || Array.isArray(jwk)) {
        return "the JWK is not an object";
    }
    if (kPrivateMembers.some((name) => name in jwk)) {
        return "a private or secret key: pin the public key only";
    }
    if (jwk.kty !== "RSA" && jwk.kty !== "EC") {
        return `key type ${JSON.stringify(jwk.kty)} cannot seal: ${kWanted}`;
    }
    if (jwk.kty === "EC" && !kCurves.includes(jwk.crv)) {
        return `curve ${JSON.stringify(jwk.crv)} cannot seal: ${kWanted}`;
    }
    if (jwk.use !== undefined && jwk.use !== "enc") {
        return `the key's "use" is ${JSON.stringify(jwk.use)}, not "enc"`;
    }
    if (!requiredMembers(jwk)) {
        return `a JWK of type ${jwk.kty} needs the members ${kRequiredMembers[jwk.kty].join(", ")} as text`;
    }
    return null;
}

// Imports a public JWK of the kinds jwkProblem lets through, for sealing.
async function sealingKeyOf(jwk) {
    const alg = jwk.kty === "RSA" ? "RSA-OAEP-256" : "ECDH-ES+A256KW";
    if (jwk.alg !== undefined && jwk.alg !== alg) {
        return { problem: `the key's "alg" is ${JSON.stringify(jwk.alg)}; a ${jwk.kty} key seals with ${alg}` };
    }
    const publicJwk = requiredMembers(jwk);
    const algorithm = jwk.kty === "RSA" ? kRsa : { name: "ECDH", namedCurve: jwk.crv };
    let key;
    try {
        key = await crypto.subtle.importKey("jwk", publicJwk, algorithm, true, jwk.kty === "RSA" ? ["encrypt"] : []);
    } catch {
        return { problem: `the ${jwk.kty} key's numbers are not a valid public key` };
    }
    if (jwk.kty === "RSA" && key.algorithm.modulusLength < kMinRsaBits) {
        return { problem: `an RSA key of ${key.algorithm.modulusLength} bits is too weak: ${kMinRsaBits} bits or more` };
    }
    return { alg, kid: await jwkThumbprint(publicJwk), jwk: publicJwk, key };
}

// A pinned key as policy stores it, { pem } or { jwk }: resolves { alg, kid, jwk, key } for
// sealing, or { problem } saying why the key is refused. Never rejects.
export async function checkSealingKey(entry) {
    try {
        const given = ["pem", "jwk"].filter((name) => entry?.[name] !== undefined);
        if (given.length !== 1) {
            return { problem: "a sealing key needs exactly one of pem or jwk" };
        }
        const { jwk, problem } = entry.pem !== undefined ? await jwkOfPem(entry.pem) : { jwk: entry.jwk };
        const refusal = problem ?? jwkProblem(jwk);
        return refusal ? { problem: refusal } : await sealingKeyOf(jwk);
    } catch (error) {
        return { problem: `the key could not be read: ${error?.message ?? error}` };
    }
}
