// The toolbar button while a page's capture runs: a badge on every tab, a title naming the site
// that holds the pad, and instead of the signing pad page a popup (capture-popup.html) that
// names the site and can end its capture.
const api = globalThis.browser ?? globalThis.chrome;
const kCapturePopup = "capture-popup.html";

export function showCaptureBadge(origin) {
    api.action.setBadgeBackgroundColor({ color: "#b3261e" });
    api.action.setBadgeText({ text: "SIGN" });
    api.action.setTitle({ title: `Signature pad in use by ${origin}` });
    api.action.setPopup({ popup: kCapturePopup });
}

export function clearCaptureBadge() {
    api.action.setBadgeText({ text: "" });
    api.action.setTitle({ title: api.runtime.getManifest().action.default_title });
    api.action.setPopup({ popup: "" });
}
