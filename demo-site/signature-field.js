// A signature field made with the page library's documented API alone: Sign opens the pad (shown
// only where the extension serves the page), the field draws live ink as the pen writes, Clear
// starts the signature again, Done closes the pad and keeps the signature as an SVG drawing.
import { InkCanvas, isAvailable, open } from "@lumarq/orvanesign-page";

// What each error code means to the person signing.
const kAdvice = {
    "extension-missing": "The signing extension is not installed in this browser, or does not serve this site. " +
        "Install it, or ask your administrator to allow this site.",
    "host-missing": "The signature pad program is not installed on this computer.",
    "no-pad": "No signature pad found: plug it in and press Sign again.",
    "pad-in-use": "The signature pad is in use elsewhere (another tab, site or browser). Finish there and press Sign again.",
    "origin-not-allowed": "The signing extension does not allow this site. Ask your administrator to allow it.",
    "timeout": "The signature pad did not answer in time. Check that it is plugged in and press Sign again.",
    "host-gone": "The signature pad program stopped. Press Sign to start again.",
    "pad-gone": "The signature pad was unplugged during the signature. Plug it in and press Sign again.",
    "needs-user-gesture": "The signature pad opens only when you press Sign, in the tab you see. Press Sign again.",
    "capture-idle": "Nothing was signed for a while, so the signature pad was closed. Press Sign to start again.",
    "tab-hidden": "The signature pad was closed while this page was in the background. Press Sign to start again.",
    "ended-by-user": "You ended the signature from the extension's button. Press Sign to start again.",
    "aborted": "Signing was cancelled. Press Sign to start again.",
};

const element = (id) => document.getElementById(id);
const buttons = { sign: element("sign"), clear: element("clear"), done: element("done") };
let capture = null;
let counting = false;

function say(text, kind = "info") {
    element("status").textContent = text;
    element("status").dataset.kind = kind;
}

function sayProblem(error) {
    say(kAdvice[error.code] ?? error.message, "problem");
}

// The point count, updated at most once a frame.
function count() {
    if (!counting) {
        counting = true;
        requestAnimationFrame(() => {
            counting = false;
            element("point-count").textContent = `${capture.points.length} points`;
            const last = capture.times[capture.times.length - 1];
            element("signing-time").textContent = Number.isInteger(last) ? `${(last / 1000).toFixed(2)} s` : "";
        });
    }
}

function running(yes) {
    buttons.sign.disabled = yes;
    buttons.clear.disabled = buttons.done.disabled = !yes;
}

buttons.sign.addEventListener("click", async () => {
    running(true);
    say("Opening the signature pad…");
    try {
        capture = await open({ timeoutMs: 15_000 });
    } catch (error) {
        running(false);
        sayProblem(error);
        return;
    }
    say("Sign on the pad, then press Done.");
    element("pad-identity").textContent =
        capture.pad ? `Pad ${capture.pad.serial}, model ${capture.pad.model}` : "";
    const canvas = document.createElement("canvas");
    element("signature-field").replaceChildren(canvas);
    new InkCanvas(canvas, capture, { color: "#12245c" });
    count();
    capture.addEventListener("point", count);
    capture.addEventListener("clear", count);
    capture.addEventListener("end", ({ detail }) => {
        running(false);
        if (detail.error) {
            sayProblem(detail.error);
        }
    });
});

buttons.done.addEventListener("click", async () => {
    buttons.done.disabled = true;
    try {
        await capture.close();
        element("signature-field").innerHTML = capture.toSvg({ color: "#12245c" });
        say(`Signed: ${capture.strokes.length} strokes, ${capture.points.length} points.`, "signed");
        // What a service would store with the signature.
        element("evidence").textContent = JSON.stringify(capture.toEvidence());
    } catch {
        // The capture's end listener has said what went wrong.
    }
});

buttons.clear.addEventListener("click", () => capture?.clear());

// The extension answers at once where it serves this page; elsewhere say so before any click.
isAvailable().then((available) => {
    if (!available) {
        buttons.sign.disabled = true;
        say(kAdvice["extension-missing"], "problem");
    }
});
