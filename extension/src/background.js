// The extension's background: opens the signing pad page when the extension is installed and
// whenever its toolbar button is clicked, and serves the page bridge on the allowed origins.
// Chrome runs this file as a service worker, Firefox as a background script.
import { kAllowedOriginsKey } from "./allowed-origins.js";
import { updateBridgeRegistration } from "./bridge-registration.js";
import { acceptPageConnection } from "./capture-broker.js";

const api = globalThis.browser ?? globalThis.chrome;

function openSigningPad() {
    api.tabs.create({ url: api.runtime.getURL("pad.html") });
}

api.runtime.onInstalled.addListener(({ reason }) => {
    updateBridgeRegistration();
    if (reason === "install") {
        openSigningPad();
    }
});
api.runtime.onStartup.addListener(updateBridgeRegistration);
api.storage.onChanged.addListener((changes, area) => {
    if ((area === "local" || area === "managed") && kAllowedOriginsKey in changes) {
        updateBridgeRegistration();
    }
});
api.action.onClicked.addListener(openSigningPad);
api.runtime.onConnect.addListener(acceptPageConnection);
