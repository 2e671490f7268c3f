// Keeps the bridge's content script registered on the allowed origins and nowhere else. Match
// patterns cannot name a port, so the script runs on every port of an allowed host; the
// background refuses the ports that are not allowed by the origin the browser reports.
import { readAllowedOrigins } from "./allowed-origins.js";

const api = globalThis.browser ?? globalThis.chrome;
const kScriptId = "page-bridge";

function matchPattern(origin) {
    const { protocol, hostname } = new URL(origin);
    return `${protocol}//${hostname}/*`;
}

async function registerForAllowedOrigins() {
    const { origins } = await readAllowedOrigins();
    const matches = [...new Set(origins.map(matchPattern))];
    const registered = (await api.scripting.getRegisteredContentScripts({ ids: [kScriptId] })).length > 0;
    const script = { id: kScriptId, matches, js: ["page-bridge-content.js"], runAt: "document_start", allFrames: true,
                     persistAcrossSessions: true };
    if (registered && matches.length) {
        await api.scripting.updateContentScripts([script]);
    } else if (registered) {
        await api.scripting.unregisterContentScripts({ ids: [kScriptId] });
    } else if (matches.length) {
        await api.scripting.registerContentScripts([script]);
    }
}

// One registration at a time: storage changes can come in quick succession.
let registering = Promise.resolve();

export function updateBridgeRegistration() {
    registering = registering.then(registerForAllowedOrigins).catch((error) => {
        console.error("The page bridge could not be registered:", error);
    });
    return registering;
}
