#!/usr/bin/env node
// open-sealed --key private.pem --document contract.pdf sealed.jwe: opens a sealed signature
// with the private key of the key pinned for the site, checks it was sealed for that document
// and is well formed, and prints its record as JSON. Each failure says why in one line on
// stderr and ends with its own exit code.
import fs from "node:fs";
import { parseArgs } from "node:util";
import { openSealed, SealedRecordProblem } from "../sealed-record.js";

const kUsage = `usage: open-sealed --key PRIVATE_KEY.pem --document DOCUMENT SEALED.jwe

Opens a sealed signature (a compact JWE) with the private key, checks that DOCUMENT is the one it
was sealed for (its SHA-256) and that the record is well formed, and prints the record as JSON.

Exit codes:
  0  opened: the record is on stdout
  2  wrong usage
  3  a file could not be read, or the key is not a private key in PEM
  4  not a sealed signature (not a compact JWE of RSA-OAEP-256 or ECDH-ES+A256KW with A256GCM)
  5  sealed for another key
  6  changed or damaged: it does not decrypt with the key it was sealed for
  7  sealed for another document
  8  the record inside is malformed
`;

const kExitCodes = {
    usage: 2,
    unreadable: 3,
    [SealedRecordProblem.badKey]: 3,
    [SealedRecordProblem.notJwe]: 4,
    [SealedRecordProblem.wrongKey]: 5,
    [SealedRecordProblem.altered]: 6,
    [SealedRecordProblem.otherDocument]: 7,
    [SealedRecordProblem.malformedRecord]: 8,
};

function fail(code, message) {
    process.stderr.write(`open-sealed: ${message}\n`);
    process.exit(kExitCodes[code]);
}

function parse(args) {
    try {
        return parseArgs({
            args,
            options: { key: { type: "string" }, document: { type: "string" }, help: { type: "boolean", short: "h" } },
            allowPositionals: true,
        });
    } catch (error) {
        return fail("usage", `${error.message} (--help tells how to use it)`);
    }
}

function read(file, encoding) {
    try {
        return fs.readFileSync(file, encoding);
    } catch (error) {
        return fail("unreadable", `cannot read ${file}: ${error.code ?? error.message}`);
    }
}

const { values, positionals } = parse(process.argv.slice(2));
if (values.help) {
    process.stdout.write(kUsage);
    process.exit(0);
}
if (!values.key || !values.document || positionals.length !== 1) {
    fail("usage", "needs --key, --document and one sealed signature (--help tells how to use it)");
}
try {
    const { record } = await openSealed(read(positionals[0], "utf8"), read(values.key, "utf8"), read(values.document));
    process.stdout.write(`${JSON.stringify(record, null, 2)}\n`);
} catch (error) {
    if (!(error.code in kExitCodes)) {
        throw error;
    }
    fail(error.code, error.message);
}
