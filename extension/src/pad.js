// The signing pad page: connects to the native host, shows the pad's state and draws what the
// pen writes as it writes it.
import { HostSession, Problem, readHostName } from "./host-session.js";
import { PadCanvas } from "./pad-canvas.js";
import { Signature } from "./signature.js";
import { savePng, saveSvg } from "./export.js";

// How long the host may take to answer OPEN. A pad behind the TCP listener can take the
// listener's whole SocketTimeout twice; "?replyTimeout=MS" in the page's address overrides it.
const replyTimeoutMs =
    Number(new URLSearchParams(location.search).get("replyTimeout")) || 15_000;

const element = (id) => document.getElementById(id);
const buttons = {
    connect: element("connect"),
    clear: element("clear"),
    done: element("done"),
    svg: element("export-svg"),
    png: element("export-png"),
};
const signature = new Signature();
const canvas = new PadCanvas(element("pad"));
const hostName = readHostName();
let session = null;

function problemText(problem, detail, name) {
    switch (problem) {
        case Problem.notInstalled:
            return `The signing pad program is not installed on this computer ` +
                `(native messaging host "${name}" not found).`;
        case Problem.forbidden:
            return "The signing pad program is installed, but does not allow this extension to use it.";
        case Problem.noPad:
            return "No pad found: plug the signature pad in, check its settings and press Connect again.";
        case Problem.noReply:
            return `The signing pad program did not answer within ${replyTimeoutMs / 1000} s: ` +
                "it may have no settings file (Inkora.ini: /etc/Inkora.ini on Linux, the Windows " +
                "directory on Windows, usually C:\\Windows\\Inkora.ini). Connect starts it again.";
        case Problem.padGone:
            return "The signature pad was unplugged or lost its connection during the signature. " +
                "Connect it again and press Connect.";
        case Problem.endedWithoutReply:
            return "The signing pad program ended at once, without an answer. Most often another " +
                "copy of it is using the pad: in another browser, another tab or another user's " +
                "session on this computer. Close the signing pad there and press Connect again. " +
                `(If there is none, it could not open the pad: check its settings.)${browserSays(detail)}`;
        default:
            return `The signing pad program exited unexpectedly.${browserSays(detail)}`;
    }
}

// The browser's own words, as one sentence of their own.
function browserSays(detail) {
    return detail ? ` The browser says: ${detail.replace(/\.+$/, "")}.` : "";
}

function showMessage(text, kind, problem = "") {
    const message = element("message");
    message.textContent = text;
    message.dataset.kind = kind;
    message.dataset.problem = problem;
}

function showPad(connection, reply) {
    element("connection").textContent = connection;
    element("open-status").textContent = reply ? String(reply.status) : "–";
    element("pad-size").textContent = reply ? `${reply.maxx} × ${reply.maxy}` : "–";
    element("pad-numbers").textContent =
        Number.isInteger(reply?.serial) ? `${reply.serial}, model ${reply.model}` : "–";
}

function showCounts() {
    element("point-count").textContent =
        `${signature.points.length} in ${signature.strokes.length} strokes`;
    buttons.svg.disabled = buttons.png.disabled = signature.points.length === 0;
}

function sessionRunning(running) {
    buttons.connect.disabled = running;
    buttons.done.disabled = !running;
}

const handlers = {
    opened(reply) {
        showPad("connected", reply);
        showMessage("Sign on the pad.", "info");
        if (reply.maxx !== canvas.canvas.width || reply.maxy !== canvas.canvas.height) {
            canvas.resize(reply.maxx, reply.maxy);
            canvas.redraw(signature);
        }
    },
    point(x, y, p) {
        const stroke = signature.add(x, y, p);
        if (stroke) {
            canvas.drawStrokeEnd(stroke);
        }
        showCounts();
    },
    goodbye(text) {
        showMessage(`The signing pad program said goodbye ("${text}").`, "goodbye");
    },
    async ended(problem, detail) {
        session = null;
        sessionRunning(false);
        showPad(problem ? "not connected" : "closed", null);
        if (problem) {
            showMessage(problemText(problem, detail, await hostName), "problem", problem);
        }
    },
};

buttons.connect.addEventListener("click", async () => {
    sessionRunning(true);
    showPad("connecting…", null);
    showMessage("", "info");
    session = new HostSession(await hostName, handlers, replyTimeoutMs);
    session.start();
});

buttons.done.addEventListener("click", () => session?.finish());

buttons.clear.addEventListener("click", () => {
    signature.clear();
    canvas.redraw(signature);
    showCounts();
});

buttons.svg.addEventListener("click", () =>
    saveSvg(signature, canvas.canvas.width, canvas.canvas.height, canvas.penWidth));
buttons.png.addEventListener("click", () => savePng(canvas.canvas));
