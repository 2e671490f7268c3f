// One conversation with the signature pad's native host: OPEN, the POINT stream, CLOSE and the
// goodbye, and every way it can end otherwise.
const api = globalThis.browser ?? globalThis.chrome;

// The host's name, from the identities file shipped beside the page.
export async function readHostName() {
    const response = await fetch(api.runtime.getURL("native-host.json"));
    return (await response.json()).name;
}

// Why a session ended without the host's goodbye.
export const Problem = Object.freeze({
    notInstalled: "not-installed",
    forbidden: "forbidden",
    exited: "exited",
    endedWithoutReply: "ended-without-reply",
    noPad: "no-pad",
    noReply: "no-reply",
    padGone: "pad-gone",
});

// OPEN2 asks the host for the pad's numbers, each point's arrival time and word when the pad
// goes; a host older than it ignores it, and gets the plain OPEN once this share of the reply's
// time limit has passed without an answer.
const kRichOpenShare = 0.5;

// Chrome and Firefox word a failed or closed native port differently.
function problemOfDisconnect(message) {
    if (/not found|no such native application/i.test(message)) {
        return Problem.notInstalled;
    }
    if (/forbidden|permission/i.test(message)) {
        return Problem.forbidden;
    }
    return Problem.exited;
}

export class HostSession {
    // handlers: opened(reply), point(x, y, p, t), goodbye(text), ended(problem or null, detail).
    // The reply carries serial and model, and t is a number, when the host took OPEN2; t is
    // null otherwise.
    constructor(hostName, handlers, replyTimeoutMs) {
        this.hostName = hostName;
        this.handlers = handlers;
        this.replyTimeoutMs = replyTimeoutMs;
        this.port = null;
        this.replyTimer = null;
        this.answered = false;
        this.saidGoodbye = false;
        this.over = false;
        this.fallbackTimer = null;
        this.releaseTimer = null;
        // Resolves once the port to the host is closed: the host has gone, or is let go.
        this.closed = new Promise((resolve) => {
            this.markClosed = resolve;
        });
    }

    // Starts the host once previousHost (a promise) has settled: one host holds the pad at a
    // time, and a second copy started beside it would leave at once. The reply's time limit
    // counts from now.
    start(previousHost = Promise.resolve()) {
        this.replyTimer = setTimeout(() => this.end(Problem.noReply), this.replyTimeoutMs);
        previousHost.then(() => this.connect());
    }

    connect() {
        if (this.over) {
            return;
        }
        try {
            this.port = api.runtime.connectNative(this.hostName);
            this.port.onMessage.addListener((message) => this.receive(message));
            this.port.onDisconnect.addListener((port) => this.disconnected(port));
            this.port.postMessage({ command: "OPEN2" });
        } catch (error) {
            this.end(problemOfDisconnect(error.message), error.message);
            return;
        }
        this.fallbackTimer = setTimeout(() => this.fallBackToPlainOpen(),
                                        Math.floor(this.replyTimeoutMs * kRichOpenShare));
    }

    fallBackToPlainOpen() {
        if (!this.over && !this.answered) {
            this.port.postMessage({ command: "OPEN" });
        }
    }

    // Asks the host to close the pad and end; it answers with its goodbye.
    finish() {
        if (!this.over) {
            this.port?.postMessage({ command: "CLOSE" });
        }
    }

    receive(message) {
        if (this.over) {
            return;
        }
        this.answered = true;
        clearTimeout(this.fallbackTimer);
        if (message.command === "OPEN") {
            clearTimeout(this.replyTimer);
            if (this.opened) {
                return;  // a slow OPEN2 and the plain OPEN after it: the first reply stands
            }
            this.opened = message.status === 1;
            if (message.status === 1) {
                this.handlers.opened(message);
            } else {
                this.end(Problem.noPad);
            }
        } else if (message.command === "POINT") {
            this.handlers.point(message.X, message.Y, message.P, Number.isInteger(message.T) ? message.T : null);
        } else if (message.command === "GONE") {
            this.end(Problem.padGone);
        } else if (typeof message.text === "string") {
            clearTimeout(this.replyTimer);
            this.saidGoodbye = true;
            this.handlers.goodbye(message.text);
        }
    }

    disconnected(port) {
        // Reading lastError also keeps Chrome from reporting it as unchecked.
        const message = port.error?.message ?? api.runtime.lastError?.message ?? "";
        clearTimeout(this.releaseTimer);
        this.markClosed();
        if (this.over) {
            return;
        }
        if (this.saidGoodbye) {
            this.over = true;
            clearTimeout(this.replyTimer);
            this.handlers.ended(null, "");
        } else {
            const problem = problemOfDisconnect(message);
            // A host that ends before its first message is most often a second copy, which
            // leaves at once while the first holds the pad.
            this.end(problem === Problem.exited && !this.answered ? Problem.endedWithoutReply : problem,
                     message);
        }
    }

    // Ends the session from this side on a problem: closing the port ends a host that is still
    // running.
    end(problem, detail = "") {
        if (this.over) {
            return;
        }
        this.stop();
        this.closePort();
        this.handlers.ended(problem, detail);
    }

    // Ends the session from this side at once: no more handler calls. The host is asked to CLOSE
    // and keeps its port until it has gone, for at most the reply's time limit: a host still
    // opening the pad reads its input only once the opening is over (closing the port would not
    // end it sooner), and closed resolves when it has let the pad go.
    letGo() {
        if (this.over) {
            return;
        }
        this.stop();
        try {
            this.port.postMessage({ command: "CLOSE" });
            this.releaseTimer = setTimeout(() => this.closePort(), this.replyTimeoutMs);
        } catch {
            this.closePort();  // not started, or already closed by the browser
        }
        this.handlers.ended(null, "");
    }

    stop() {
        this.over = true;
        clearTimeout(this.replyTimer);
        clearTimeout(this.fallbackTimer);
    }

    closePort() {
        clearTimeout(this.releaseTimer);
        try {
            this.port?.disconnect();
        } catch {
            // already closed by the browser
        }
        this.markClosed();
    }
}
