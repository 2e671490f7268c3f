// The administrator's settings beside the allowed sites, from the extension's managed storage
// (schema managed-storage.json), with their defaults where the policy sets none.
const api = globalThis.browser ?? globalThis.chrome;

const kDefaultIdleLimitSeconds = 300;
const kDefaultHiddenLimitSeconds = 60;

function wholeSeconds(value, fallback) {
    return Number.isInteger(value) && value >= 0 ? value : fallback;
}

export async function readManaged(keys) {
    // Firefox refuses to read managed storage when no policy names the extension.
    return api.storage.managed.get(keys).catch(() => ({}));
}

export async function readCaptureLimits() {
    const policy = await readManaged(["idleLimitSeconds", "hiddenLimitSeconds"]);
    return {
        idleLimitMs: 1000 * Math.max(1, wholeSeconds(policy.idleLimitSeconds, kDefaultIdleLimitSeconds)),
        hiddenLimitMs: 1000 * wholeSeconds(policy.hiddenLimitSeconds, kDefaultHiddenLimitSeconds),
    };
}
