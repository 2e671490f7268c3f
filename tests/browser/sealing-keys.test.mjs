// The extension's checks of the keys an administrator pins for sealing: which keys seal and with
// what, and the reason each refused key is given; and the thumbprint that names a key.
import assert from "node:assert/strict";
import { it } from "node:test";
import { checkSealingKey, jwkThumbprint } from "../../extension/src/sealing-keys.js";
import { keyPair, pem } from "./support/test-keys.mjs";

it("seals with RSA of 3072 bits or more and EC P-256 or P-384, as PEM or JWK, and refuses the rest with its reason", async () => {
    const [rsa2048, rsa3072, rsa4096, p256, p384, p521, ed25519] = await Promise.all([
        keyPair("RSA", 2048), keyPair("RSA", 3072), keyPair("RSA", 4096), keyPair("EC", "P-256"),
        keyPair("EC", "P-384"), keyPair("EC", "P-521"), keyPair("OKP", "Ed25519")]);
    const offCurve = { ...p256.jwk, y: p384.jwk.y.slice(0, p256.jwk.y.length) };
    const cases = [
        ["RSA 3072 PEM", { pem: rsa3072.pem }, "RSA-OAEP-256"],
        ["RSA 3072 JWK", { jwk: { ...rsa3072.jwk, alg: "RSA-OAEP-256", use: "enc", kid: "k1", key_ops: ["wrapKey"] } }, "RSA-OAEP-256"],
        ["RSA 4096 PEM", { pem: rsa4096.pem }, "RSA-OAEP-256"],
        ["RSA 4096 JWK", { jwk: rsa4096.jwk }, "RSA-OAEP-256"],
        ["P-256 PEM", { pem: p256.pem }, "ECDH-ES+A256KW"],
        ["P-256 JWK", { jwk: p256.jwk }, "ECDH-ES+A256KW"],
        ["P-384 PEM", { pem: p384.pem }, "ECDH-ES+A256KW"],
        ["P-384 JWK", { jwk: p384.jwk }, "ECDH-ES+A256KW"],
        ["RSA 2048 PEM", { pem: rsa2048.pem }, "2048 bits is too weak"],
        ["RSA 2048 JWK", { jwk: rsa2048.jwk }, "2048 bits is too weak"],
        ["P-521 PEM", { pem: p521.pem }, `curve "P-521"`],
        ["P-521 JWK", { jwk: p521.jwk }, `curve "P-521"`],
        ["EC private JWK", { jwk: p256.privateJwk }, "private"],
        ["RSA private PEM", { pem: rsa3072.privatePem }, "private"],
        ["secret JWK", { jwk: { kty: "oct", k: "AAAA" } }, "private or secret"],
        ["OKP JWK", { jwk: ed25519.jwk }, `type "OKP"`],
        ["Ed25519 PEM", { pem: ed25519.pem }, "not a key this extension can seal with"],
        ["garbage PEM", { pem: pem("PUBLIC KEY", Buffer.from("not a key")) }, "not a key this extension can seal with"],
        ["PEM of no key", { pem: "hello" }, "not a PEM public key"],
        ["JWK without y", { jwk: { ...p256.jwk, y: undefined } }, "needs the members"],
        ["point off the curve", { jwk: offCurve }, "not a valid public key"],
        ["signing JWK", { jwk: { ...p256.jwk, use: "sig" } }, `"use" is "sig"`],
        ["JWK for another alg", { jwk: { ...rsa3072.jwk, alg: "RSA1_5" } }, `"alg" is "RSA1_5"`],
        ["both", { pem: p256.pem, jwk: p256.jwk }, "exactly one of pem or jwk"],
        ["neither", {}, "exactly one of pem or jwk"],
        ["no entry", null, "exactly one of pem or jwk"],
    ];
    const outcome = async ([name, entry, expected]) => {
        const { alg, problem } = await checkSealingKey(entry);
        return [name, alg ?? (problem.includes(expected) ? expected : problem)];
    };
    const outcomes = await Promise.all(cases.map(outcome));
    assert.deepEqual(outcomes, cases.map(([name, , expected]) => [name, expected]));

    const fromPem = await checkSealingKey({ pem: p384.pem });
    const fromJwk = await checkSealingKey({ jwk: { ...p384.jwk, kid: "k2", use: "enc" } });
    assert.deepEqual([fromPem.kid, fromPem.jwk], [fromJwk.kid, fromJwk.jwk], "a key as PEM and as JWK: one thumbprint");
    assert.deepEqual(Object.keys(fromJwk.jwk), ["crv", "kty", "x", "y"]);
});

it("names a key by its RFC 7638 thumbprint, as the RFC's own example does", async () => {
    const n = "0vx7agoebGcQSuuPiLJXZptN9nndrQmbXEps2aiAFbWhM78LhWx4cbbfAAtVT86zwu1RK7aPFFxuhDR1L6tSoc_BJECPebWKRXjBZCiFV4n3oknjhMstn64tZ_2W-5JsGY4Hc5n9yBXArwl93lqt7_RN5w6Cf0h4QyQ5v-65YGjQR0_FDW2QvzqY368QQMicAtaSqzs8KJZgnYb9c7d0zgdAZHzu6qMQvRL5hajrn1n91CbOpbISD08qNLyrdkt-bFTWhAI4vMQFh6WeZu0fM4lFd2NcRwr3XPksINHaQ-G_xBniIqbw0Ls1jF44-csFCur-kEgU8awapJzKnqDKgw";
    assert.equal(await jwkThumbprint({ kty: "RSA", n, e: "AQAB", alg: "RS256", kid: "2011-04-29" }),
                 "NzbLsXh8uDCcd-6MNwXF4W_7noWXFZAfHkxZsRGC9Xs");
});
