// The page's side of the signing extension's bridge. Requests are posted to this window, where the
// bridge's content script reads them; the bridge posts its answers back to this window alone.
const kPageSource = "lumarq-orvanesign-page";
const kBridgeSource = "lumarq-orvanesign-bridge";

// A number that tells this request's answers from those of any other request in the page.
export function newRequestId() {
    return crypto.getRandomValues(new Uint32Array(1))[0] + 1;
}

export function postRequest(id, request, fields = {}) {
    window.postMessage({ source: kPageSource, id, request, ...fields }, "/");
}

// The bridge's refusal of a message that reused the id of a request it serves: it answers that
// message, whoever posted it, and leaves the request it serves as it was.
export function refusesAnother(message) {
    return message.event === "error" && message.idInUse === true;
}

// Calls onAnswer with each answer to request id; returns the function that stops listening.
export function listenToBridge(id, onAnswer) {
    const listener = (event) => {
        const message = event.data;
        if (event.source === window && message?.source === kBridgeSource && message.id === id) {
            onAnswer(message);
        }
    };
    window.addEventListener("message", listener);
    return () => window.removeEventListener("message", listener);
}
