// An administrator's policy for the extension, written where each browser reads policies on Linux
// and seen by the test's browser alone: the browser starts in a mount namespace of its own, where
// a copy of the system folder, with the policy file added, is mounted over the folder. Making the
// namespace needs root; elsewhere the tests that need a policy are skipped.
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";

const kMountProbe = ["--mount", "--propagation", "private", "mount", "--bind", "/tmp", "/tmp"];
export const policiesSupported = process.getuid() === 0 && spawnSync("unshare", kMountProbe).status === 0;

// The folder each browser reads, and the file the extension's managed storage comes from there.
const kPolicyPlaces = {
    chromium: () => ({
        systemDir: "/etc/chromium",
        file: "policies/managed/lumarq-orvanesign-tests.json",
        content: (id, policy) => ({ "3rdparty": { extensions: { [id]: policy } } }),
    }),
    firefox: (binary) => ({
        // The system folder wins over the installation's distribution folder where it exists.
        systemDir: fs.existsSync("/etc/firefox/policies") ? "/etc/firefox/policies"
            : fs.realpathSync(path.join(path.dirname(fs.realpathSync(binary)), "distribution")),
        file: "policies.json",
        content: (id, policy) => ({ policies: { "3rdparty": { Extensions: { [id]: policy } } } }),
    }),
};

// Writes the policy for extension id and returns a program that starts binary with it in force.
export function browserWithPolicy(browserName, binary, workDir, id, policy) {
    const { systemDir, file, content } = kPolicyPlaces[browserName](binary);
    const policyDir = path.join(workDir, `${browserName}-policies`);
    fs.cpSync(systemDir, policyDir, { recursive: true });
    fs.mkdirSync(path.dirname(path.join(policyDir, file)), { recursive: true });
    fs.writeFileSync(path.join(policyDir, file), JSON.stringify(content(id, policy), null, 2));
    const wrapper = path.join(workDir, `${browserName}-with-policy.sh`);
    fs.writeFileSync(wrapper, `#!/bin/bash
exec unshare --mount --propagation private bash -c 'mount --bind "$1" "$2" && exec "\${@:3}"' \\
    with-policy '${policyDir}' '${systemDir}' '${binary}' "$@"
`, { mode: 0o755 });
    return wrapper;
}
