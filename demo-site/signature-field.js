// A signature field made with the page library's documented API alone: Sign opens the pad, the
// field draws the strokes as they come, Done closes the pad and keeps the signature.
import { open } from "@lumarq/orvanesign-page";

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
    "needs-user-gesture": "The signature pad opens only when you press Sign, in the tab you see. Press Sign again.",
    "capture-idle": "Nothing was signed for a while, so the signature pad was closed. Press Sign to start again.",
    "tab-hidden": "The signature pad was closed while this page was in the background. Press Sign to start again.",
    "ended-by-user": "You ended the signature from the extension's button. Press Sign to start again.",
};

const element = (id) => document.getElementById(id);
const buttons = { sign: element("sign"), done: element("done") };
let capture = null;
let drawing = false;

function say(text, kind = "info") {
    element("status").textContent = text;
    element("status").dataset.kind = kind;
}

function sayProblem(error) {
    say(kAdvice[error.code] ?? error.message, "problem");
}

// The field shows the capture's own drawing, redrawn at most once a frame.
function draw() {
    if (!drawing) {
        drawing = true;
        requestAnimationFrame(() => {
            drawing = false;
            element("signature-field").innerHTML = capture.toSvg();
            element("point-count").textContent = `${capture.points.length} points`;
        });
    }
}

function running(yes) {
    buttons.sign.disabled = yes;
    buttons.done.disabled = !yes;
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
    draw();
    capture.addEventListener("point", draw);
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
        say(`Signed: ${capture.strokes.length} strokes, ${capture.points.length} points.`, "signed");
    } catch {
        // The capture's end listener has said what went wrong.
    }
});
