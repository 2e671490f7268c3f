// Which capture a site gets and what the background takes from a page asking for a sealed one:
// the pinned keys per origin (the administrator's always win), the refusals by kind of capture,
// and the seal request's fields, each table row aimed at one way to let pen data out unsealed.
import assert from "node:assert/strict";
import { generateKeyPairSync } from "node:crypto";
import { before, describe, it } from "node:test";
import { extensionModule } from "./support/laid-out-extension.mjs";

const storage = { local: {}, managed: {} };
const pick = (area, keys) => Object.fromEntries([keys].flat().filter((key) => key in area).map((key) => [key, area[key]]));
globalThis.chrome = {
    storage: {
        local: { get: async (keys) => pick(storage.local, keys) },
        managed: { get: async (keys) => pick(storage.managed, keys) },
    },
};
const { readPinnedKeys, sealingKeyOf } = await import("../../extension/src/pinned-keys.js");
const { documentFingerprint, isValidSeal, refusalOf } = await import(extensionModule("seal-request.js"));

const publicPem = (bits) => generateKeyPairSync("rsa", { modulusLength: bits }).publicKey.export({ type: "spki", format: "pem" });

describe("pinned sealing keys", () => {
    const sites = { admin: "https://admin.example", person: "https://person.example", both: "https://both.example",
                    notAdded: "https://elsewhere.example", twice: "https://twice.example", weak: "https://weak.example" };
    let strong;
    let weak;
    before(() => {
        strong = publicPem(3072);
        weak = publicPem(2048);
    });

    function pin({ usersMayPinKeys = true, administratorOnly = false } = {}) {
        storage.managed = {
            usersMayPinKeys, administratorOriginsOnly: administratorOnly,
            allowedOrigins: [sites.admin],
            sealingKeys: [{ origin: sites.admin, pem: strong }, { origin: sites.both, pem: strong },
                          { origin: sites.twice, pem: strong }, { origin: `${sites.twice}/`, pem: strong },
                          { origin: sites.weak, pem: weak }],
        };
        storage.local = {
            allowedOrigins: [sites.person, sites.both],
            sealingKeys: [{ origin: sites.person, pem: strong }, { origin: sites.both, pem: strong },
                          { origin: sites.notAdded, pem: strong }],
        };
    }

    // Per origin, what the background seals with: a key's alg, a refusal's word, or none.
    async function keysOf() {
        const outcome = {};
        for (const [name, origin] of Object.entries(sites)) {
            const key = await sealingKeyOf(origin);
            outcome[name] = key === null ? "none" : key.problem ? `refused by ${key.by}` : `${key.alg} by ${key.by}`;
        }
        return outcome;
    }

    it("seals with the administrator's key over the person's, the person's only for a site the person added and only where allowed, and refuses weak or doubled keys", async () => {
        const warned = [];
        const warn = console.warn;
        console.warn = (text) => warned.push(text);
        try {
            pin();
            assert.deepEqual(await keysOf(), {
                admin: "RSA-OAEP-256 by administrator", person: "RSA-OAEP-256 by person", both: "RSA-OAEP-256 by administrator",
                notAdded: "none", twice: "refused by administrator", weak: "refused by administrator",
            });
            pin({ usersMayPinKeys: false });
            assert.equal((await keysOf()).person, "none");
            pin({ administratorOnly: true });
            assert.equal((await keysOf()).person, "none");
        } finally {
            console.warn = warn;
        }
        assert.ok(warned.some((text) => text.includes(sites.weak) && text.includes("refused")), "a refused key is logged with its origin");
    });

    it("shows the options page each key's thumbprint, a refusal's reason and why a person's key does not count", async () => {
        pin();
        const { keys, addedByPerson } = await readPinnedKeys();
        const admin = keys.find((key) => key.origin === sites.admin);
        assert.match(admin.kid, /^[A-Za-z0-9_-]{43}$/);
        assert.match(keys.find((key) => key.origin === sites.weak).problem, /\S/);
        const ignored = keys.filter((key) => key.ignored).map(({ origin, by }) => [origin, by]);
        assert.deepEqual(ignored, [[sites.both, "person"], [sites.notAdded, "person"]]);
        assert.deepEqual(addedByPerson, [sites.person, sites.both]);
    });
});

it("gives a site with a pinned key sealed captures only, one without open ones only, and one with a refused key none", () => {
    const pinned = { alg: "RSA-OAEP-256", kid: "k" };
    const refused = { problem: "too weak" };
    const cases = [
        ["open", null, null],
        ["open", pinned, "sealed-only"],
        ["open", refused, "sealing-key-refused"],
        ["seal", null, "no-sealing-key"],
        ["seal", pinned, null],
        ["seal", refused, "sealing-key-refused"],
    ];
    assert.deepEqual(cases.map(([kind, key]) => [kind, key, refusalOf(kind, key)]), cases);
});

it("takes a seal request with exactly its fields, a SHA-256 hash, a bounded plain purpose and the library's picture options", () => {
    const hash = "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08";
    const valid = { request: "seal", timeoutMs: 15_000, documentHash: hash, purpose: "Contract <b>2024</b>",
                    image: { crop: true, margin: 20, width: 300, color: "#123", background: "white", lineWidth: 4 },
                    activated: true, visible: true };
    const cases = [
        [{}, true],
        [{ image: {} }, true],
        [{ purpose: "x".repeat(200) }, true],
        [{ key: "-----BEGIN PUBLIC KEY-----" }, false],
        [{ jwk: { kty: "RSA" } }, false],
        [{ request: "open" }, false],
        [{ documentHash: hash.slice(1) }, false],
        [{ documentHash: `${hash.slice(1)}g` }, false],
        [{ documentHash: 7 }, false],
        [{ purpose: "" }, false],
        [{ purpose: "x".repeat(201) }, false],
        [{ purpose: "line\nbreak" }, false],
        [{ purpose: ["Contract"] }, false],
        [{ timeoutMs: 0 }, false],
        [{ timeoutMs: 120_001 }, false],
        [{ activated: "yes" }, false],
        [{ image: null }, false],
        [{ image: { colour: "red" } }, false],
        [{ image: { width: 100_000 } }, false],
        [{ image: { crop: "yes" } }, false],
        [{ image: { color: "x".repeat(65) } }, false],
    ];
    assert.deepEqual(cases.map(([change]) => [change, isValidSeal({ ...valid, ...change })]), cases);
    const { visible, ...withoutVisible } = valid;
    assert.equal(isValidSeal(withoutVisible), false, `without visible (${visible})`);
});

it("fingerprints a document hash by its first and last 8 hex digits, in lower case", () => {
    assert.equal(documentFingerprint("9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08"), "9f86d081…b0f00a08");
});

it("has the page library refuse a malformed sealed request with bad-request before it reaches the bridge", async () => {
    const { ErrorCode, requestSealedSignature } = await import("../../page-library/index.js");
    const valid = { documentHash: "ab".repeat(32), purpose: "Lease" };
    const cases = [
        { documentHash: "ab".repeat(31) },
        { documentHash: undefined },
        { purpose: "" },
        { purpose: "x".repeat(201) },
        { purpose: "tab\there" },
        { image: null },
        { timeoutMs: 0 },
    ];
    // Node has no window: a request that got past the checks would fail on postMessage instead.
    const codes = await Promise.all(cases.map((change) =>
        requestSealedSignature({ ...valid, ...change }).catch((error) => error.code ?? error.name)));
    assert.deepEqual(codes, cases.map(() => ErrorCode.badRequest));
});
