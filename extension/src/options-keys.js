// The options page's sealing keys: each pinned key's site, algorithm and thumbprint, read-only;
// a refused key with the reason; and, where the administrator lets a person pin keys, the form
// that pins one for a site the person added (never one the administrator pinned a key for).
import { kSealingKeysKey, readPinnedKeys } from "./pinned-keys.js";
import { checkSealingKey } from "./sealing-keys.js";

const api = globalThis.browser ?? globalThis.chrome;
const element = (id) => document.getElementById(id);

async function savePersonKeys(change) {
    const stored = (await api.storage.local.get(kSealingKeysKey))[kSealingKeysKey];
    await api.storage.local.set({ [kSealingKeysKey]: change(Array.isArray(stored) ? stored : []) });
}

const removePersonKey = (origin) => savePersonKeys((keys) => keys.filter((entry) => entry.origin !== origin));

function keyItem({ origin, by, alg, kid, problem, ignored }) {
    const item = document.createElement("li");
    item.dataset.origin = origin;
    const site = document.createElement("strong");
    site.textContent = origin;
    const who = by === "administrator" ? "set by your administrator" : "pinned by you";
    if (problem || ignored) {
        const reason = document.createElement("span");
        reason.className = problem ? "refused" : "ignored";
        reason.textContent = problem ? `refused, so this site gets no signature: ${problem}` : `not used: ${ignored}`;
        item.append(site, ` (${who}): `, reason);
    } else {
        const thumbprint = document.createElement("span");
        thumbprint.className = "thumbprint";
        thumbprint.textContent = kid;
        item.append(site, ` (${who}): ${alg}, thumbprint `, thumbprint);
    }
    if (by === "person") {
        const button = document.createElement("button");
        button.type = "button";
        button.textContent = "Remove";
        button.addEventListener("click", () => removePersonKey(origin));
        item.append(button);
    }
    return item;
}

async function show() {
    const { usersMayPinKeys, addedByPerson, keys } = await readPinnedKeys();
    element("sealing-keys").replaceChildren(...keys.map(keyItem));
    const pinnable = addedByPerson.filter((origin) => !keys.some((entry) => entry.origin === origin && entry.by === "administrator"));
    element("pin-key").hidden = !usersMayPinKeys || pinnable.length === 0;
    const select = element("key-origin");
    const chosen = select.value;
    select.replaceChildren(...pinnable.map((origin) => new Option(origin, origin, false, origin === chosen)));
}

// The stored shape of a pasted key: a JWK when it reads as a JSON object, else PEM text.
function entryOf(text) {
    const trimmed = text.trim();
    if (!trimmed.startsWith("{")) {
        return { pem: trimmed };
    }
    try {
        return { jwk: JSON.parse(trimmed) };
    } catch {
        return { jwk: null };
    }
}

element("pin-key").addEventListener("submit", async (event) => {
    event.preventDefault();
    const origin = element("key-origin").value;
    const entry = entryOf(element("key-text").value);
    const checked = entry.jwk === null ? { problem: "the JWK is not valid JSON" } : await checkSealingKey(entry);
    element("key-problem").textContent = checked.problem ? `This key cannot be pinned: ${checked.problem}.` : "";
    if (!checked.problem) {
        await savePersonKeys((keys) => [...keys.filter((other) => other.origin !== origin), { origin, ...entry }]);
        element("key-text").value = "";
    }
});

api.storage.onChanged.addListener(show);
show();
