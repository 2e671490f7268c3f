// Letting a site's pages reach the extension's bridge as a user does: the origin added on the
// extension's options page; then waiting until the browser injects the bridge on that site.
import { waitFor } from "./wait.mjs";

export async function allowOnOptionsPage(padBrowser, origin) {
    const options = await padBrowser.openExtensionPage("options.html");
    await options.type("#origin", origin);
    await options.click("button[type=submit]");
    await waitFor(async () => (await options.$eval("#user-origins", (list) => list.textContent)).includes(origin),
                  { what: `the options page to list ${origin}` });
    await options.close();
}

// Waits until the bridge's content script is registered for the host of each origin.
export function bridgeRegisteredFor(padBrowser, origins) {
    const patterns = origins.map((origin) => `${new URL(origin).protocol}//${new URL(origin).hostname}/*`);
    return waitFor(async () => {
        const registered = await padBrowser.launcher.evaluate(async () => {
            const api = globalThis.browser ?? globalThis.chrome;
            return (await api.scripting.getRegisteredContentScripts()).flatMap((script) => script.matches);
        });
        return patterns.every((pattern) => registered.includes(pattern));
    }, { timeoutMs: 15_000, what: `the bridge to be registered for ${origins.join(", ")}` });
}
