// Key pairs made for a test by openssl, and sealed records opened by an implementation other than
// the extension's: Debian's python3-jwcrypto.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";

// An RSA key pair of bits in dir: { privateFile, publicPem, thumbprint (RFC 7638, by jwcrypto) }.
export function makeRsaKeyPair(dir, name, bits) {
    const privateFile = path.join(dir, `${name}.pem`);
    execFileSync("openssl", ["genpkey", "-algorithm", "RSA", "-pkeyopt", `rsa_keygen_bits:${bits}`, "-out", privateFile],
                 { stdio: "pipe" });
    const publicPem = execFileSync("openssl", ["pkey", "-in", privateFile, "-pubout"], { encoding: "utf8" });
    const thumbprint = python(`
from jwcrypto import jwk
print(jwk.JWK.from_pem(sys.stdin.buffer.read()).thumbprint())`, publicPem).trim();
    return { privateFile, publicPem, thumbprint };
}

// The protected header and the record of a compact JWE, opened with the private key in keyFile.
export function openJwe(jwe, keyFile) {
    return JSON.parse(python(`
from jwcrypto import jwe, jwk
key = jwk.JWK.from_pem(open(sys.argv[1], "rb").read())
token = jwe.JWE()
token.deserialize(sys.stdin.read().strip(), key=key)
print(json.dumps({"header": json.loads(token.objects["protected"]), "record": json.loads(token.payload)}))`, jwe, [keyFile]));
}

function python(code, input, args = []) {
    return execFileSync("/usr/bin/python3", ["-c", `import sys, json\n${code}`, ...args], { input, encoding: "utf8" });
}

// Why the tests cannot make and open keys here, or false when they can.
export function sealingToolsMissing() {
    try {
        python("import jwcrypto", "");
        execFileSync("openssl", ["version"]);
        return false;
    } catch {
        return "needs openssl and python3-jwcrypto (apt-get install python3-jwcrypto)";
    }
}
