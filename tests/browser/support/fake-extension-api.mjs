// A stand-in for the extension API, installed as globalThis.chrome before the extension's modules
// load (import this module first): storage areas a test replaces, a native port per host start that
// records what it is sent, and the toolbar button's state.
export const fakeApi = {
    storage: { local: { get: async () => ({}) }, managed: { get: async () => ({}) } },
    runtime: {
        ports: [],
        connectNative: (name) => fakeApi.runtime.ports[fakeApi.runtime.ports.push(new FakeNativePort(name)) - 1],
        getManifest: () => ({ action: { default_title: "Open the signing pad" } }),
        getURL: (file) => `chrome-extension://fake/${file}`,
    },
    action: {
        state: {},
        setBadgeBackgroundColor: () => {},
        setBadgeText: ({ text }) => { fakeApi.action.state.badge = text; },
        setTitle: ({ title }) => { fakeApi.action.state.title = title; },
        setPopup: ({ popup }) => { fakeApi.action.state.popup = popup; },
    },
};
globalThis.chrome = fakeApi;
// The identities file beside the extension's pages.
globalThis.fetch = async () => ({ json: async () => ({ name: "signing_pad_host" }) });

// Both ends of a port: its listeners, what the extension posted, and whether it disconnected.
class FakePort {
    constructor(name) {
        Object.assign(this, { name, posted: [], disconnected: false, listeners: { message: [], disconnect: [] } });
        this.onMessage = { addListener: (listener) => this.listeners.message.push(listener) };
        this.onDisconnect = { addListener: (listener) => this.listeners.disconnect.push(listener) };
    }

    postMessage(message) {
        this.posted.push(message);
    }

    disconnect() {
        this.disconnected = true;
    }

    // The far side sends a message, or goes.
    send(message) {
        this.listeners.message.forEach((listener) => listener(message));
    }

    close() {
        this.listeners.disconnect.forEach((listener) => listener(this));
    }
}

export class FakeNativePort extends FakePort {
    // The commands the extension wrote to the host.
    get commands() {
        return this.posted.map(({ command }) => command);
    }
}

// A page frame's port to the background, from a tab of origin.
export class FakePagePort extends FakePort {
    constructor(origin) {
        super("page-bridge");
        this.sender = { origin, tab: { id: 1 } };
    }

    // What the background told the page, as events (error codes for errors).
    get answers() {
        return this.posted.map(({ event, code }) => code ?? event);
    }
}
