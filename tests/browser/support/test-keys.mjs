// Key pairs made for a test with WebCrypto, in the forms a pinned key and its private half take.
const kGenerate = {
    RSA: (bits) => [{ name: "RSA-OAEP", modulusLength: bits, publicExponent: new Uint8Array([1, 0, 1]), hash: "SHA-256" }, ["encrypt", "decrypt"]],
    EC: (namedCurve) => [{ name: "ECDH", namedCurve }, ["deriveBits"]],
    OKP: (name) => [{ name }, ["sign", "verify"]],
};

export function pem(label, der) {
    const lines = Buffer.from(der).toString("base64").match(/.{1,64}/g).join("\n");
    return `-----BEGIN ${label}-----\n${lines}\n-----END ${label}-----\n`;
}

// kind "RSA" with its bits, "EC" with its curve, "OKP" with "Ed25519": { pem, jwk, privatePem, privateJwk }.
export async function keyPair(kind, size) {
    const [algorithm, usages] = kGenerate[kind](size);
    const { publicKey, privateKey } = await crypto.subtle.generateKey(algorithm, true, usages);
    const jwk = await crypto.subtle.exportKey("jwk", publicKey);
    delete jwk.key_ops;
    delete jwk.ext;
    delete jwk.alg;
    return {
        pem: pem("PUBLIC KEY", await crypto.subtle.exportKey("spki", publicKey)),
        jwk,
        privatePem: pem("PRIVATE KEY", await crypto.subtle.exportKey("pkcs8", privateKey)),
        privateJwk: await crypto.subtle.exportKey("jwk", privateKey),
    };
}
