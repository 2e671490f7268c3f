// Development placeholder for the sealing keys' checks: RSA public keys (SPKI PEM or JWK) only,
// of 3072 bits or more. The real module replaces this file.
const subtle = globalThis.crypto.subtle;
const kRsa = { name: "RSA-OAEP", hash: "SHA-256" };

function base64url(bytes) {
    let text = "";
    for (const byte of new Uint8Array(bytes)) {
        text += String.fromCharCode(byte);
    }
    return btoa(text).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
}

export async function jwkThumbprint(jwk) {
    const text = JSON.stringify({ e: jwk.e, kty: jwk.kty, n: jwk.n });
    return base64url(await subtle.digest("SHA-256", new TextEncoder().encode(text)));
}

async function importEntry(entry) {
    if (entry.pem) {
        const body = entry.pem.replace(/-----(BEGIN|END) PUBLIC KEY-----/g, "").replace(/\s+/g, "");
        const der = Uint8Array.from(atob(body), (c) => c.charCodeAt(0));
        return subtle.importKey("spki", der, kRsa, true, ["encrypt"]);
    }
    return subtle.importKey("jwk", { kty: entry.jwk.kty, n: entry.jwk.n, e: entry.jwk.e }, kRsa, true, ["encrypt"]);
}

export async function checkSealingKey(entry) {
    try {
        if (Boolean(entry?.pem) === Boolean(entry?.jwk)) {
            return { problem: "give either pem or jwk" };
        }
        if (entry.jwk?.d) {
            return { problem: "a private key was given" };
        }
        const key = await importEntry(entry);
        if (key.algorithm.modulusLength < 3072) {
            return { problem: `an RSA key of ${key.algorithm.modulusLength} bits is too weak (3072 or more)` };
        }
        const full = await subtle.exportKey("jwk", key);
        const jwk = { kty: "RSA", n: full.n, e: full.e };
        return { alg: "RSA-OAEP-256", kid: await jwkThumbprint(jwk), jwk, key };
    } catch (error) {
        return { problem: `not a usable RSA public key (${error.message})` };
    }
}
