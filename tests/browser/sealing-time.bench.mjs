// A figure, not a test: how long the extension's code takes under Node to build and seal the
// record of a 2,000-point signature (a lift every 50 points) with each kind of pinned key, over
// SEALING_RUNS runs (default 20). Prints one line per key:
//   sealing ALG KEY: p50 X ms, worst Y ms, JWE Z bytes
import { checkSealingKey } from "../../extension/src/sealing-keys.js";
import { buildEvidence } from "../../page-library/evidence.js";
import { extensionModule } from "./support/laid-out-extension.mjs";
import { keyPair } from "./support/test-keys.mjs";

const { buildSealedRecord, sealRecord } = await import(extensionModule("sealed-record.js"));

const runs = Number(process.env.SEALING_RUNS ?? 20);
const points = Array.from({ length: 2000 }, (_, i) => [(i * 7) % 2000, (i * 3) % 1000, i % 50 === 49 ? 0 : 1]);
const times = points.map((_, i) => i * 5);

async function sealOnce(sealingKey) {
    const started = performance.now();
    const evidence = buildEvidence({ pad: { serial: 4711, model: 12 }, width: 2000, height: 1000, startedAt: new Date().toISOString(), points, times });
    const record = buildSealedRecord({ evidence, origin: "https://sign.example.com", documentHash: "ab".repeat(32),
                                       purpose: "Lease 2026-17", startedAt: Date.now(), extensionVersion: "1.4.0" });
    const jwe = await sealRecord(record, sealingKey);
    return [performance.now() - started, jwe.length];
}

for (const [kind, size] of [["RSA", 3072], ["RSA", 4096], ["EC", "P-256"], ["EC", "P-384"]]) {
    const sealingKey = await checkSealingKey({ jwk: (await keyPair(kind, size)).jwk });
    await sealOnce(sealingKey);
    const results = [];
    for (let run = 0; run < runs; run++) {
        results.push(await sealOnce(sealingKey));
    }
    const millis = results.map(([ms]) => ms).sort((a, b) => a - b);
    console.log(`sealing ${sealingKey.alg} ${kind} ${size}: p50 ${millis[runs >> 1].toFixed(1)} ms, ` +
                `worst ${millis[runs - 1].toFixed(1)} ms, JWE ${results[0][1]} bytes`);
}
