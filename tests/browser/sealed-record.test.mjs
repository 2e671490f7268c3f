// Sealed records: what the extension writes and seals, opened by other JOSE implementations
// (Debian's python3-jwcrypto, and jose), and the page library's open-sealed command with the right
// key and document, and with each thing that must stop it.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { createHash } from "node:crypto";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { it } from "node:test";
import { checkSealingKey } from "../../extension/src/sealing-keys.js";
import { buildEvidence } from "../../page-library/evidence.js";
import * as library from "../../page-library/sealed-record.js";
import { extensionModule } from "./support/laid-out-extension.mjs";
import { keyPair } from "./support/test-keys.mjs";

const extension = await import(extensionModule("sealed-record.js"));

const kCommand = new URL("../../page-library/bin/open-sealed.js", import.meta.url).pathname;
const kDocument = Buffer.from("%PDF-1.7 the contract\n");
const kDocumentHash = createHash("sha256").update(kDocument).digest("hex").toUpperCase();
const kPoints = [[100, 200, 1], [110, 205, 1], [120, 210, 0], [300, 400, 1], [310, 420, 1], [320, 430, 0]];

function sampleRecord(documentHash = kDocumentHash, extra = {}) {
    const evidence = buildEvidence({ pad: { serial: 4711, model: 12 }, width: 2000, height: 1000,
                                     startedAt: "2026-12-08T14:00:00.250Z", points: kPoints, times: [0, 8, 16, 500, 508, 516] });
    return extension.buildSealedRecord({ evidence, origin: "https://sign.example.com", documentHash,
                                         purpose: "Lease <b>2026-17</b>", startedAt: "2026-12-08T15:00:00.250+01:00", extensionVersion: "1.4.0", ...extra });
}

it("builds the record: the evidence as given, started in UTC, the hash in lower case, no host version as null", () => {
    const record = sampleRecord();
    assert.equal(record.started, "2026-12-08T14:00:00.250Z");
    assert.equal(record.documentHash, kDocumentHash.toLowerCase());
    assert.deepEqual([record.hostVersion, sampleRecord(kDocumentHash, { hostVersion: "3.2" }).hostVersion], [null, "3.2"]);
    assert.deepEqual(record.evidence.points.map(({ x, y, touch }) => [x, y, touch ? 1 : 0]), kPoints);
    assert.deepEqual(library.checkSealedRecord(record), []);
    assert.throws(() => sampleRecord(kDocumentHash, { purpose: "" }), /purpose/);
    assert.throws(() => sampleRecord("abc"), /document hash/);
});

it("checks document hashes and purposes alike in the extension and the library", () => {
    const cases = [
        [kDocumentHash, true], [kDocumentHash.toLowerCase(), true], [kDocumentHash.slice(1), false],
        [`${kDocumentHash}0`, false], [`${kDocumentHash.slice(1)}g`, false], [` ${kDocumentHash.slice(1)}`, false], [12, false],
    ];
    const purposes = [
        ["Lease <b>2026-17</b>", true], ["x".repeat(200), true], ["✍️".repeat(100), true], ["x".repeat(201), false],
        ["", false], ["  ", false], ["one\ntwo", false], ["\u202eevil", false], ["tab\there", false], [null, false],
    ];
    for (const checks of [extension, library]) {
        assert.deepEqual(cases.map(([text]) => [text, checks.documentHashProblem(text) === null]), cases);
        assert.deepEqual(purposes.map(([text]) => [text, checks.purposeProblem(text) === null]), purposes);
    }
});

it("finds what is wrong with an opened record", () => {
    const record = sampleRecord();
    const cases = [
        [{ ...record, format: "other" }, "format must be"],
        [{ ...record, origin: "https://sign.example.com/path" }, "origin"],
        [{ ...record, documentHash: kDocumentHash }, "lower case"],
        [{ ...record, started: "2026-12-08T15:00:00+01:00" }, "UTC"],
        [{ ...record, hostVersion: 3 }, "hostVersion"],
        [{ ...record, extensionVersion: undefined }, "extensionVersion"],
        [{ ...record, evidence: { ...record.evidence, points: [{ x: 1 }] } }, "evidence: point 0"],
    ];
    assert.deepEqual(cases.map(([broken, word]) => [word, library.checkSealedRecord(broken).some((problem) => problem.includes(word))]),
                     cases.map(([, word]) => [word, true]));
});

const kJwcrypto = `
import json, sys
from jwcrypto import jwe, jwk
token = jwe.JWE()
token.deserialize(sys.stdin.read(), key=jwk.JWK.from_pem(open(sys.argv[1], "rb").read()))
print(json.dumps({"header": token.jose_header, "record": json.loads(token.payload)}))
`;

async function sealedWith(kind, size, dir) {
    const pair = await keyPair(kind, size);
    const sealingKey = await checkSealingKey({ pem: pair.pem });
    const keyFile = path.join(dir, `${kind}-${size}.pem`);
    fs.writeFileSync(keyFile, pair.privatePem);
    return { ...pair, sealingKey, keyFile, jwe: await extension.sealRecord(sampleRecord(), sealingKey) };
}

it("seals with each key management that python3-jwcrypto and jose open to the same record and header", async () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), "sealed-"));
    const record = sampleRecord();
    for (const [kind, size] of [["RSA", 3072], ["EC", "P-256"], ["EC", "P-384"]]) {
        const { sealingKey, keyFile, jwe } = await sealedWith(kind, size, dir);
        const header = { alg: sealingKey.alg, enc: "A256GCM", kid: sealingKey.kid, cty: "application/json",
                         origin: record.origin, documentHash: record.documentHash };
        const python = spawnSync("/usr/bin/python3", ["-c", kJwcrypto, keyFile], { input: jwe, encoding: "utf8" });
        assert.equal(python.status, 0, python.stderr);
        const opened = JSON.parse(python.stdout);
        assert.deepEqual({ ...opened, header: { ...opened.header, epk: undefined } },
                         { header: { ...header, epk: undefined }, record }, `${kind} ${size}`);
        const { header: byJose, record: recordByJose } = await library.openSealed(jwe, fs.readFileSync(keyFile, "utf8"), kDocument);
        assert.deepEqual([byJose.kid, recordByJose], [sealingKey.kid, record]);
    }
    fs.rmSync(dir, { recursive: true });
});

// The JWE with one byte of part (0: the protected header, 3: the ciphertext) changed.
function changedByte(jwe, part, at) {
    const parts = jwe.split(".");
    const bytes = Buffer.from(parts[part], "base64url");
    bytes[at] ^= 0x01;
    parts[part] = bytes.toString("base64url");
    return parts.join(".");
}

it("opens with the right key and document, and stops each other case with its message and exit code", async () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), "open-sealed-"));
    const rsa = await sealedWith("RSA", 3072, dir);
    const ec = await sealedWith("EC", "P-256", dir);
    const file = (name, content) => (fs.writeFileSync(path.join(dir, name), content), path.join(dir, name));
    const contract = file("contract.pdf", kDocument);
    const originAt = Buffer.from(ec.jwe.split(".")[0], "base64url").indexOf("sign.example.com");
    const badRecord = { ...sampleRecord(), evidence: { ...sampleRecord().evidence, strokes: "none" } };
    const cases = [
        ["right key and document", rsa.keyFile, contract, rsa.jwe, 0, ""],
        ["right EC key and document", ec.keyFile, contract, ec.jwe, 0, ""],
        ["another document", rsa.keyFile, file("other.pdf", "%PDF-1.7 another\n"), rsa.jwe, 7, "another document"],
        ["another key", ec.keyFile, contract, rsa.jwe, 5, "not this key"],
        ["a changed ciphertext byte", rsa.keyFile, contract, changedByte(rsa.jwe, 3, 10), 6, "changed or damaged"],
        ["a changed header byte", ec.keyFile, contract, changedByte(ec.jwe, 0, originAt), 6, "changed or damaged"],
        ["a malformed record", rsa.keyFile, contract, await extension.sealRecord(badRecord, rsa.sealingKey), 8, "evidence: strokes"],
        ["not a JWE", rsa.keyFile, contract, "eyJhbGciOiJub25lIn0.e30.", 4, "not a sealed signature"],
        ["a public key", file("public.pem", rsa.pem), contract, rsa.jwe, 3, "not a private key"],
    ];
    const outcomes = cases.map(([name, key, document, jwe, status, words]) => {
        const run = spawnSync(process.execPath, [kCommand, "--key", key, "--document", document, file("sealed.jwe", jwe)], { encoding: "utf8" });
        if (status === 0) {
            assert.deepEqual(JSON.parse(run.stdout), sampleRecord(), name);
        }
        return [name, run.status, run.stderr.includes(words) && run.stderr.split("\n").length === (status === 0 ? 1 : 2) ? words : run.stderr];
    });
    assert.deepEqual(outcomes, cases.map(([name, , , , status, words]) => [name, status, words]));
    fs.rmSync(dir, { recursive: true });
});
