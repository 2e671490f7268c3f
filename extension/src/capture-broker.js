// The background's side of the page bridge: one capture at a time across every tab and frame,
// for pages on allowed origins only, each served through the host session the background alone
// holds. The origin checked is the one the browser reports for the frame that connected. A
// capture opens only for a frame that a person has just activated (a click, a tap, a key) in a
// tab that shows, unless the administrator lets its site open the pad by itself; it ends when
// it stays without a point, or its tab stays hidden, for the administrator's limits, and when
// the person ends it from the toolbar button.
import { accessOf } from "./allowed-origins.js";
import { clearCaptureBadge, showCaptureBadge } from "./capture-badge.js";
import { CaptureWatch } from "./capture-watch.js";
import { HostSession, Problem, readHostName } from "./host-session.js";
import { sealingKeyOf } from "./pinned-keys.js";
import { readCaptureLimits } from "./policy.js";
import { isValidSeal, refusalOf } from "./seal-request.js";
import { sealedHandlers } from "./sealed-capture.js";

const kMaxTimeoutMs = 120_000;
const kErrorOfProblem = {
    [Problem.notInstalled]: "host-missing",
    [Problem.forbidden]: "host-missing",
    [Problem.exited]: "host-gone",
    // A host that ends at once without answering is most often a second copy: the pad is held
    // by another browser or another user.
    [Problem.endedWithoutReply]: "pad-in-use",
    [Problem.noPad]: "no-pad",
    [Problem.noReply]: "timeout",
    [Problem.padGone]: "pad-gone",
};
const kEndedByUser = "ended-by-user";

let current = null;
// Settles once the last capture's host has gone: the next one starts after it.
let previousHost = Promise.resolve();

function tell(pagePort, answer) {
    try {
        pagePort.postMessage(answer);
    } catch {
        // The page has gone; its capture ends through the port's disconnect.
    }
}

function hasExactly(request, name, fields) {
    return request?.request === name && Object.keys(request).sort().join() === fields;
}

function isValidOpen(request) {
    return hasExactly(request, "open", "activated,request,timeoutMs,visible") &&
        typeof request.activated === "boolean" && typeof request.visible === "boolean" &&
        Number.isInteger(request.timeoutMs) && request.timeoutMs >= 1 && request.timeoutMs <= kMaxTimeoutMs;
}

function isVisibility(request) {
    return hasExactly(request, "visibility", "request,visible") && typeof request.visible === "boolean";
}

function endCapture(capture) {
    capture.watch.stop();
    if (current === capture) {
        current = null;
        clearCaptureBadge();
    }
}

// Ends a running capture from this side: the page is told why, and the host is let go.
function endWithError(capture, code) {
    tell(capture.pagePort, { event: "error", code });
    capture.session.letGo();
}

function hostHandlers(capture) {
    const { pagePort } = capture;
    return {
        opened: ({ device, maxx, maxy, serial, model }) => {
            capture.watch.opened();
            tell(pagePort, {
                event: "opened", device, width: maxx, height: maxy,
                pad: Number.isInteger(serial) && Number.isInteger(model) ? { serial, model } : null,
            });
        },
        point: (x, y, p, t) => {
            capture.watch.point();
            tell(pagePort, { event: "point", x, y, touch: p === 1, t });
        },
        goodbye: (text) => tell(pagePort, { event: "goodbye", text }),
        ended: (problem) => {
            endCapture(capture);
            if (problem) {
                tell(pagePort, { event: "error", code: kErrorOfProblem[problem] });
            }
        },
    };
}

function startCapture(connection, origin, hostName, limits, request, sealingKey) {
    const capture = { pagePort: connection.pagePort, origin };
    capture.watch = new CaptureWatch(limits, connection.visible, (limit) => endWithError(capture, limit));
    const handlers = request.request === "seal"
        ? sealedHandlers(capture, hostHandlers(capture), request, sealingKey, endWithError)
        : hostHandlers(capture);
    capture.session = new HostSession(hostName, handlers, request.timeoutMs);
    current = capture;
    showCaptureBadge(origin);
    capture.session.start(previousHost);
    previousHost = capture.session.closed;
}

// An open or a seal request: a site with a pinned sealing key gets sealed captures only.
async function open(connection, request) {
    const { pagePort } = connection;
    const origin = pagePort.sender.origin;
    const [access, hostName, limits, sealingKey] =
        await Promise.all([accessOf(origin), readHostName(), readCaptureLimits(), sealingKeyOf(origin)]);
    if (connection.gone) {
        return;
    }
    const activated = request.activated;
    if (!access.allowed) {
        tell(pagePort, { event: "error", code: "origin-not-allowed" });
    } else if (refusalOf(request.request, sealingKey)) {
        tell(pagePort, { event: "error", code: refusalOf(request.request, sealingKey) });
    } else if (!connection.visible || !(activated || access.gestureWaived)) {
        tell(pagePort, { event: "error", code: "needs-user-gesture" });
    } else if (current) {
        tell(pagePort, { event: "error", code: "pad-in-use" });
    } else {
        startCapture(connection, origin, hostName, limits, request, sealingKey);
    }
}

function isClose(request) {
    return hasExactly(request, "close", "request");
}

function receive(connection, request) {
    const capturing = current?.pagePort === connection.pagePort;
    if ((isValidOpen(request) || isValidSeal(request)) && !connection.asked) {
        connection.asked = true;
        connection.visible = request.visible;
        open(connection, request);
    } else if (isVisibility(request)) {
        connection.visible = request.visible;
        if (capturing) {
            current.watch.visibility(request.visible);
        }
    } else if (isClose(request) && capturing && !current.sealed) {
        current.session.finish();
    } else if (hasExactly(request, "abort", "request")) {
        leave(connection);
    } else {
        tell(connection.pagePort, { event: "error", code: "bad-request" });
    }
}

// A page's frame connects once for each capture it asks for; the capture ends when the frame
// goes (its tab closes or navigates) and the port with it.
export function acceptPageConnection(pagePort) {
    if (pagePort.name !== "page-bridge" || !pagePort.sender?.tab) {
        return;
    }
    const connection = { pagePort, asked: false, gone: false, visible: false };
    pagePort.onMessage.addListener((request) => receive(connection, request));
    pagePort.onDisconnect.addListener(() => leave(connection));
}

// The frame has gone or given up its request: its capture ends, or never starts.
function leave(connection) {
    connection.gone = true;
    if (current?.pagePort === connection.pagePort) {
        current.session.letGo();
    }
}

// The site that holds the pad, for the toolbar button's page; null while none does.
export function captureHolder() {
    return current?.origin ?? null;
}

// The person ended the running capture from the toolbar button.
export function endCaptureByUser() {
    if (current) {
        endWithError(current, kEndedByUser);
    }
}
