// Opens the signing pad page when the extension is installed and whenever its toolbar button is
// clicked. Chrome runs this file as a service worker, Firefox as a background script.
const api = globalThis.browser ?? globalThis.chrome;

function openSigningPad() {
    api.tabs.create({ url: api.runtime.getURL("pad.html") });
}

api.runtime.onInstalled.addListener(({ reason }) => {
    if (reason === "install") {
        openSigningPad();
    }
});
api.action.onClicked.addListener(openSigningPad);
