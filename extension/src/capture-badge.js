// The toolbar button while a page's capture runs: a badge on every tab, and a title naming the
// site that holds the pad.
const api = globalThis.browser ?? globalThis.chrome;

export function showCaptureBadge(origin) {
    api.action.setBadgeBackgroundColor({ color: "#b3261e" });
    api.action.setBadgeText({ text: "SIGN" });
    api.action.setTitle({ title: `Signature pad in use by ${origin}` });
}

export function clearCaptureBadge() {
    api.action.setBadgeText({ text: "" });
    api.action.setTitle({ title: api.runtime.getManifest().action.default_title });
}
