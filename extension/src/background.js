// The extension's background: opens the signing pad page when the extension is installed and
// whenever its toolbar button is clicked while no site captures, answers the button's popup
// while one does, and serves the page bridge on the allowed origins. Chrome runs this file as a
// service worker, Firefox as a background script.
import { kAllowedOriginsKey } from "./allowed-origins.js";
import { updateBridgeRegistration } from "./bridge-registration.js";
import { acceptPageConnection, captureHolder, endCaptureByUser } from "./capture-broker.js";
import { kSealingKeysKey, kUsersMayPinKeysKey, logRefusedKeys } from "./pinned-keys.js";
import { acceptSigningWindow, signingWindowRemoved } from "./sealed-capture.js";

const api = globalThis.browser ?? globalThis.chrome;
const kRegistrationKeys = [kAllowedOriginsKey, "administratorOriginsOnly"];

function openSigningPad() {
    api.tabs.create({ url: api.runtime.getURL("pad.html") });
}

// Requests from the extension's own pages only; a content script's sender is a web page.
function answerExtensionPage(message, sender, respond) {
    if (sender.id !== api.runtime.id || !sender.url?.startsWith(api.runtime.getURL(""))) {
        return;
    }
    if (message?.request === "end-capture") {
        endCaptureByUser();
    }
    respond({ origin: captureHolder() });
}

api.runtime.onInstalled.addListener(({ reason }) => {
    updateBridgeRegistration();
    if (reason === "install") {
        openSigningPad();
    }
});
api.runtime.onStartup.addListener(updateBridgeRegistration);
api.storage.onChanged.addListener((changes, area) => {
    if ((area === "local" || area === "managed") && kRegistrationKeys.some((key) => key in changes)) {
        updateBridgeRegistration();
    }
    if ([kSealingKeysKey, kUsersMayPinKeysKey].some((key) => key in changes)) {
        logRefusedKeys();
    }
});
logRefusedKeys();
api.action.onClicked.addListener(openSigningPad);
api.runtime.onConnect.addListener(acceptPageConnection);
api.runtime.onConnect.addListener(acceptSigningWindow);
api.windows.onRemoved.addListener(signingWindowRemoved);
api.runtime.onMessage.addListener(answerExtensionPage);
