// The bridge's content script, registered on the allowed origins only. It answers a page's hello
// at once (so that a page learns quickly that the bridge is there; a site without the bridge gets
// no answer), and carries a page's open, close and abort requests to the background, which alone speaks to the host, and each capture's events
// back to the frame that opened it, posted to this frame's own origin. It reads only messages that
// this window posted to itself naming the page library as their source; one of those that is not
// of the library's fixed shape is answered with an error and goes no further. With each open it
// tells the background whether a person has just activated this frame and whether its tab shows,
// as only this frame can see; and while a capture runs, each time its tab is hidden or shown.
(() => {
    const api = globalThis.browser ?? globalThis.chrome;
    const kPageSource = "lumarq-orvanesign-page";
    const kBridgeSource = "lumarq-orvanesign-bridge";
    const kFieldsOfRequest = new Map([
        ["open", "id,request,source,timeoutMs"],
        ["close", "id,request,source"],
        ["abort", "id,request,source"],
        ["hello", "id,request,source"],
        ["seal", "documentHash,id,image,purpose,request,source,timeoutMs"],
    ]);
    const kRequestsOfCapture = ["close", "abort"];
    const captures = new Map();

    const isVisible = () => document.visibilityState === "visible";

    function tellPage(id, answer) {
        window.postMessage({ ...answer, source: kBridgeSource, id }, window.location.origin);
    }

    // A hello or an open for a new id, or a close or abort of a capture this frame opened, with
    // exactly its fields.
    function isAcceptable(message) {
        const wellFormed = Number.isSafeInteger(message.id) && message.id > 0 &&
            kFieldsOfRequest.get(message.request) === Object.keys(message).sort().join();
        return wellFormed && captures.has(message.id) === kRequestsOfCapture.includes(message.request);
    }

    function forget(id) {
        captures.get(id)?.disconnect();
        captures.delete(id);
    }

    // An open, or a seal with its document hash, purpose and picture options (the background
    // checks their values).
    function open(id, timeoutMs, sealFields = null) {
        let port;
        try {
            port = api.runtime.connect({ name: "page-bridge" });
        } catch {
            // The extension was updated or removed under this page.
            tellPage(id, { event: "error", code: "extension-missing" });
            return;
        }
        captures.set(id, port);
        port.onMessage.addListener((answer) => {
            tellPage(id, answer);
            // A refused request leaves the capture running.
            if (answer.event === "goodbye" || answer.event === "sealed" || (answer.event === "error" && answer.code !== "bad-request")) {
                forget(id);
            }
        });
        port.onDisconnect.addListener(() => {
            if (captures.delete(id)) {
                tellPage(id, { event: "error", code: "host-gone" });
            }
        });
        port.postMessage({ request: sealFields ? "seal" : "open", timeoutMs, ...sealFields,
                           activated: navigator.userActivation.isActive, visible: isVisible() });
        tellPage(id, { event: "accepted" });
    }

    // Firefox keeps a page that is left for the back button with its ports open: its captures
    // end when it is left, as they do in Chrome.
    window.addEventListener("pagehide", () => {
        for (const id of [...captures.keys()]) {
            forget(id);
            tellPage(id, { event: "error", code: "host-gone" });
        }
    });

    // Heard at the window in the capture phase, ahead of any listener the page adds after this
    // script: a page cannot keep the change from the bridge, nor fake the state it reads.
    window.addEventListener("visibilitychange", () => {
        for (const port of captures.values()) {
            port.postMessage({ request: "visibility", visible: isVisible() });
        }
    }, true);

    window.addEventListener("message", (event) => {
        const message = event.data;
        if (event.source !== window || event.origin !== window.location.origin || message?.source !== kPageSource) {
            return;
        }
        if (!isAcceptable(message)) {
            const id = Number.isSafeInteger(message.id) ? message.id : null;
            // A message that reused the id of a request this frame has under way is refused with
            // a mark: the request goes on, and its page must not take the refusal for its answer.
            tellPage(id, { event: "error", code: "bad-request", ...(captures.has(id) && { idInUse: true }) });
        } else if (message.request === "hello") {
            tellPage(message.id, { event: "present" });
        } else if (message.request === "open") {
            open(message.id, message.timeoutMs);
        } else if (message.request === "seal") {
            const { documentHash, purpose, image } = message;
            open(message.id, message.timeoutMs, { documentHash, purpose, image });
        } else if (message.request === "abort") {
            // The background lets the host go (it ends as after CLOSE) or keeps it from starting.
            captures.get(message.id).postMessage({ request: "abort" });
            forget(message.id);
        } else {
            captures.get(message.id).postMessage({ request: "close" });
        }
    });
})();
