// The options page: the sites the administrator allowed, shown as they are, and the sites the
// user allows, which the user adds and removes here; unless the administrator's list is the only
// one, when the page shows it alone and says so.
import { allowableOrigin, kAllowedOriginsKey, originProblem, readAllowedOrigins } from "./allowed-origins.js";

const api = globalThis.browser ?? globalThis.chrome;
const element = (id) => document.getElementById(id);

function listItem(origin, remove) {
    const item = document.createElement("li");
    item.textContent = origin;
    if (remove) {
        const button = document.createElement("button");
        button.type = "button";
        button.textContent = "Remove";
        button.addEventListener("click", remove);
        item.append(button);
    }
    return item;
}

async function saveUserOrigins(origins) {
    await api.storage.local.set({ [kAllowedOriginsKey]: origins });
}

async function show() {
    const { fromUser, fromAdministrator, administratorOnly } = await readAllowedOrigins();
    element("administrator-only").hidden = !administratorOnly;
    element("user-part").hidden = administratorOnly;
    element("administrator-origins").replaceChildren(...fromAdministrator.map((origin) => listItem(origin)));
    element("user-origins").replaceChildren(...fromUser.map((origin) =>
        listItem(origin, () => saveUserOrigins(fromUser.filter((other) => other !== origin)))));
}

element("add-origin").addEventListener("submit", async (event) => {
    event.preventDefault();
    const input = element("origin");
    const problem = originProblem(input.value);
    if (problem) {
        element("problem").textContent = `"${input.value}" cannot be allowed: ${problem}. A port may follow the ` +
            "host (https://sign.example.com:8443); each port is a site of its own.";
        return;
    }
    const origin = allowableOrigin(input.value);
    element("problem").textContent = "";
    const { fromUser } = await readAllowedOrigins();
    await saveUserOrigins([...new Set([...fromUser, origin])]);
    input.value = "";
});

api.storage.onChanged.addListener(show);
show();
