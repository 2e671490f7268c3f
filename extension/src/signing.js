// The signing window of a sealed capture: which site asks, for what and for which document, the
// ink as the pen writes it, and Clear, Cancel and Done. The pen's points come from the background
// alone; the site's page never sees them. Texts come in the browser's language.
import { PadCanvas } from "./pad-canvas.js";
import { PointBatcher } from "./point-batcher.js";
import { Signature } from "./signature.js";

const api = globalThis.browser ?? globalThis.chrome;
const element = (id) => document.getElementById(id);
const message = (name) => api.i18n.getMessage(name);
const buttons = { clear: element("clear"), cancel: element("cancel"), done: element("done") };

document.title = message("signingTitle");
document.documentElement.lang = message("@@ui_locale").replace("_", "-");
for (const labelled of document.querySelectorAll("[data-message]")) {
    labelled.textContent = message(labelled.dataset.message);
}

const signature = new Signature();
const canvas = new PadCanvas(element("pad"));
const batcher = new PointBatcher((draw) => requestAnimationFrame(draw), (points) => {
    for (const [x, y, p] of points) {
        const stroke = signature.add(x, y, p);
        if (stroke) {
            canvas.drawStrokeEnd(stroke);
        }
    }
});
// What the window drew and how long each point waited, for the tests' measurements.
window.inkStats = batcher.stats;

const token = new URLSearchParams(location.search).get("capture");
const port = api.runtime.connect({ name: `signing-window:${token}` });

function start({ origin, purpose, fingerprint, width, height, points }) {
    element("origin").textContent = origin;
    element("purpose").textContent = purpose;
    element("fingerprint").textContent = fingerprint;
    element("status").textContent = message("signingSign");
    canvas.resize(width, height);
    points.forEach((point) => batcher.add(point));
    buttons.clear.disabled = buttons.done.disabled = false;
}

port.onMessage.addListener((event) => {
    if (event.event === "start") {
        start(event);
    } else if (event.event === "point") {
        batcher.add([event.x, event.y, event.p]);
    }
});
// The background closes this window when the capture ends; a lost background ends it too.
port.onDisconnect.addListener(() => window.close());

buttons.clear.addEventListener("click", () => {
    port.postMessage({ request: "clear" });
    batcher.drop();
    signature.clear();
    canvas.redraw(signature);
});
buttons.cancel.addEventListener("click", () => port.postMessage({ request: "cancel" }));
buttons.done.addEventListener("click", () => {
    Object.values(buttons).forEach((button) => {
        button.disabled = true;
    });
    element("status").textContent = message("signingSealing");
    port.postMessage({ request: "done" });
});
