// The public keys that seal a site's pen data, pinned per origin: by the administrator's policy
// (managed storage, sealingKeys) and, where the policy sets usersMayPinKeys, by the person for a
// site the person added (local storage, sealingKeys). An administrator's key always wins: a
// person's key for an origin the administrator pinned one for is never used. An origin whose key
// is refused (weak, malformed, or more than one administrator's key) gets no capture at all.
import { allowableOrigin, readAllowedOrigins } from "./allowed-origins.js";
import { readManaged } from "./policy.js";
import { checkSealingKey } from "./sealing-keys.js";

const api = globalThis.browser ?? globalThis.chrome;

export const kSealingKeysKey = "sealingKeys";
export const kUsersMayPinKeysKey = "usersMayPinKeys";

// The key material of a stored entry, as checkSealingKey takes it.
function keyPart(entry) {
    const part = {};
    for (const name of ["pem", "jwk"]) {
        if (entry?.[name] !== undefined) {
            part[name] = entry[name];
        }
    }
    return part;
}

// One entry checked: { origin, by, alg, kid, jwk, key } or { origin, by, problem }.
async function checkedEntry(entry, by) {
    const origin = allowableOrigin(entry?.origin ?? "");
    if (!origin) {
        return { origin: String(entry?.origin ?? ""), by, problem: "its origin is not a site that may be allowed" };
    }
    return { origin, by, ...(await checkSealingKey(keyPart(entry))) };
}

const listed = (value) => (Array.isArray(value) ? value : []);

// The administrator's keys; an origin named twice gets one refused entry, whatever its keys.
async function administratorKeys(entries) {
    const checked = await Promise.all(listed(entries).map((entry) => checkedEntry(entry, "administrator")));
    const byOrigin = new Map();
    for (const entry of checked) {
        byOrigin.set(entry.origin, byOrigin.has(entry.origin)
            ? { origin: entry.origin, by: "administrator", problem: "the policy pins more than one key for this site" }
            : entry);
    }
    return [...byOrigin.values()];
}

// The person's keys that may count: for a site the person added, with no administrator's key,
// one per origin (the first).
async function personKeys(entries, addedByPerson, pinnedByAdministrator) {
    const checked = await Promise.all(listed(entries).map((entry) => checkedEntry(entry, "person")));
    const byOrigin = new Map();
    for (const entry of checked) {
        if (pinnedByAdministrator.has(entry.origin)) {
            byOrigin.set(entry.origin, { origin: entry.origin, by: "person", ignored: "the administrator pinned a key for this site" });
        } else if (!addedByPerson.includes(entry.origin)) {
            byOrigin.set(entry.origin, { origin: entry.origin, by: "person", ignored: "you have not added this site" });
        } else if (!byOrigin.has(entry.origin)) {
            byOrigin.set(entry.origin, entry);
        }
    }
    return [...byOrigin.values()];
}

// Every pinned key as the options page shows it: usersMayPinKeys, and keys, each
// { origin, by: "administrator" | "person", alg, kid, key } or with problem (refused) or ignored
// (a person's key that does not count).
export async function readPinnedKeys() {
    const [managed, local, { fromUser, administratorOnly }] = await Promise.all([
        readManaged([kSealingKeysKey, kUsersMayPinKeysKey]),
        api.storage.local.get(kSealingKeysKey),
        readAllowedOrigins(),
    ]);
    const usersMayPinKeys = managed[kUsersMayPinKeysKey] === true;
    const fromAdministrator = await administratorKeys(managed[kSealingKeysKey]);
    const pinned = new Set(fromAdministrator.map(({ origin }) => origin));
    const addedByPerson = usersMayPinKeys && !administratorOnly ? fromUser : [];
    const fromPerson = usersMayPinKeys ? await personKeys(local[kSealingKeysKey], addedByPerson, pinned) : [];
    return { usersMayPinKeys, administratorOnly, addedByPerson, keys: [...fromAdministrator, ...fromPerson] };
}

// The key that seals origin's captures: { origin, by, alg, kid, key }, { origin, by, problem }
// when refused, or null when none is pinned. Refusals go to the extension's log.
export async function sealingKeyOf(origin) {
    const { keys } = await readPinnedKeys();
    const entry = keys.find((candidate) => candidate.origin === origin && !candidate.ignored) ?? null;
    if (entry?.problem) {
        warnRefused(entry);
    }
    return entry;
}

function warnRefused({ origin, by, problem }) {
    console.warn(`The sealing key pinned by the ${by} for ${origin} is refused: ${problem}`);
}

// Writes every refused key to the extension's log, as the policy or the person's list changes.
export async function logRefusedKeys() {
    const { keys } = await readPinnedKeys();
    keys.filter(({ problem }) => problem).forEach(warnRefused);
}
