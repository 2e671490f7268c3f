// The background's side of the page bridge: one capture at a time across every tab and frame,
// for pages on allowed origins only, each served through the host session the background alone
// holds. The origin checked is the one the browser reports for the frame that connected.
import { isAllowedOrigin } from "./allowed-origins.js";
import { clearCaptureBadge, showCaptureBadge } from "./capture-badge.js";
import { HostSession, Problem, readHostName } from "./host-session.js";

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

let current = null;

function tell(pagePort, answer) {
    try {
        pagePort.postMessage(answer);
    } catch {
        // The page has gone; its capture ends through the port's disconnect.
    }
}

function isValidOpen(request) {
    return request?.request === "open" && Object.keys(request).length === 2 &&
        Number.isInteger(request.timeoutMs) && request.timeoutMs >= 1 && request.timeoutMs <= kMaxTimeoutMs;
}

function endCapture(capture) {
    if (current === capture) {
        current = null;
        clearCaptureBadge();
    }
}

function hostHandlers(capture) {
    const { pagePort } = capture;
    return {
        opened: ({ device, maxx, maxy, serial, model }) => tell(pagePort, {
            event: "opened", device, width: maxx, height: maxy,
            pad: Number.isInteger(serial) && Number.isInteger(model) ? { serial, model } : null,
        }),
        point: (x, y, p, t) => tell(pagePort, { event: "point", x, y, touch: p === 1, t }),
        goodbye: (text) => tell(pagePort, { event: "goodbye", text }),
        ended: (problem) => {
            endCapture(capture);
            if (problem) {
                tell(pagePort, { event: "error", code: kErrorOfProblem[problem] });
            }
        },
    };
}

async function open(connection, timeoutMs) {
    const { pagePort } = connection;
    const origin = pagePort.sender.origin;
    const [allowed, hostName] = await Promise.all([isAllowedOrigin(origin), readHostName()]);
    if (connection.gone) {
        return;
    }
    if (!allowed) {
        tell(pagePort, { event: "error", code: "origin-not-allowed" });
    } else if (current) {
        tell(pagePort, { event: "error", code: "pad-in-use" });
    } else {
        const capture = { pagePort, origin };
        capture.session = new HostSession(hostName, hostHandlers(capture), timeoutMs);
        current = capture;
        showCaptureBadge(origin);
        capture.session.start();
    }
}

function isClose(request) {
    return request?.request === "close" && Object.keys(request).length === 1;
}

function receive(connection, request) {
    if (isValidOpen(request) && !connection.asked) {
        connection.asked = true;
        open(connection, request.timeoutMs);
    } else if (isClose(request) && current?.pagePort === connection.pagePort) {
        current.session.finish();
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
    const connection = { pagePort, asked: false, gone: false };
    pagePort.onMessage.addListener((request) => receive(connection, request));
    pagePort.onDisconnect.addListener(() => {
        connection.gone = true;
        if (current?.pagePort === pagePort) {
            current.session.end(null);
        }
    });
}
