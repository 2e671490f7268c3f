// The toolbar button's popup while a site holds the pad: which site it is, a button that ends
// its capture (the page is told "ended-by-user"), and the way to the signing pad page.
const api = globalThis.browser ?? globalThis.chrome;
const element = (id) => document.getElementById(id);

async function show() {
    const { origin } = await api.runtime.sendMessage({ request: "capture-holder" });
    const endButton = element("end-capture");
    endButton.hidden = !origin;
    if (origin) {
        const site = document.createElement("strong");
        site.textContent = origin;
        element("holder").replaceChildren("The signature pad is in use by ", site, ".");
    } else {
        element("holder").textContent = "The signature pad is free.";
    }
}

element("end-capture").addEventListener("click", async () => {
    await api.runtime.sendMessage({ request: "end-capture" });
    await show();
});

element("open-pad").addEventListener("click", async () => {
    await api.tabs.create({ url: api.runtime.getURL("pad.html") });
    window.close();
});

show();
