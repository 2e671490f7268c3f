// The background's page bridge on a stand-in extension API: which opens start a host, the
// toolbar button once a capture has ended, and a host let go (an aborted open, before or after
// the pad opened) that keeps the pad until it has gone, the next capture's host starting after it.
import { fakeApi, FakePagePort } from "./support/fake-extension-api.mjs";
import assert from "node:assert/strict";
import { afterEach, beforeEach, it } from "node:test";
import { extensionModule } from "./support/laid-out-extension.mjs";

const kSite = "https://sign.example.com";
const kButtonAtRest = { badge: "", title: "Open the signing pad", popup: "" };
const hosts = fakeApi.runtime.ports;
let broker;

// A fresh background for each test, serving kSite.
beforeEach(async () => {
    hosts.length = 0;
    fakeApi.storage.local = { get: async () => ({ allowedOrigins: [kSite] }) };
    fakeApi.storage.managed = { get: async () => ({}) };
    broker = await import(`${extensionModule("capture-broker.js")}?instance=${Math.random()}`);
});

// Ends what a test left running, so that no limit's timer outlives it.
afterEach(async () => {
    broker.endCaptureByUser();
    hosts.forEach((host) => host.close());
    await settle();
});

// Lets every pending promise of the background run.
const settle = () => new Promise((resolve) => setImmediate(resolve));

// A frame of kSite connected to the background, having asked for a capture.
async function pageAsking({ visible = true, activated = true, timeoutMs = 5000 } = {}) {
    const page = new FakePagePort(kSite);
    broker.acceptPageConnection(page);
    page.send({ request: "open", timeoutMs, activated, visible });
    await settle();
    return page;
}

const padOpens = (host) => host.send({ command: "OPEN", status: 1, device: 1, maxx: 2150, maxy: 1400, serial: 1, model: 5 });
const point = (host) => host.send({ command: "POINT", X: 1, Y: 2, P: 1, T: 3 });

it("refuses an open from a tab that is hidden or has no person's click, and starts no host", async () => {
    const cases = [[{ visible: false, activated: true }, ["needs-user-gesture"]], [{ visible: true, activated: false }, ["needs-user-gesture"]]];
    const found = [];
    for (const [asked] of cases) {
        found.push([asked, (await pageAsking(asked)).answers]);
    }
    assert.deepEqual(found, cases);
    assert.equal(hosts.length, 0);
});

it("gives the toolbar button back to the signing pad page once a capture has ended, however it ended", async () => {
    const endings = {
        "closed by the page": (page, host) => {
            page.send({ request: "close" });
            host.send({ text: "EXITING..." });
            host.close();
        },
        "ended by the pad's going": (page, host) => host.send({ command: "GONE" }),
        "ended by the host's end": (page, host) => host.close(),
        "ended from the button": () => broker.endCaptureByUser(),
        "ended by the page's going": (page) => page.close(),
    };
    const found = [];
    for (const [how, end] of Object.entries(endings)) {
        const page = await pageAsking();
        const host = hosts.at(-1);
        padOpens(host);
        const during = { ...fakeApi.action.state, holder: broker.captureHolder() };
        end(page, host);
        host.close();
        await settle();
        found.push([how, during.holder, during.badge, { ...fakeApi.action.state }, broker.captureHolder()]);
    }
    assert.deepEqual(found, Object.keys(endings).map((how) => [how, kSite, "SIGN", kButtonAtRest, null]));
});

it("asks the host of an open aborted while the pad opens to close, and starts the next capture's host once it has gone", async () => {
    const first = await pageAsking();
    first.send({ request: "abort" });
    first.close();
    const second = await pageAsking();
    assert.deepEqual(hosts.map(({ commands, disconnected }) => [commands, disconnected]), [[["OPEN2", "CLOSE"], false]]);
    assert.deepEqual(fakeApi.action.state.badge, "SIGN");

    padOpens(hosts[0]);
    hosts[0].send({ text: "EXITING..." });
    hosts[0].close();
    await settle();
    padOpens(hosts[1]);
    assert.deepEqual(hosts.map(({ commands }) => commands), [["OPEN2", "CLOSE"], ["OPEN2"]]);
    assert.deepEqual([first.answers, second.answers], [[], ["opened"]]);
});

it("ends a capture aborted after the pad opened: the host is asked to close and the page gets no point after", async () => {
    const page = await pageAsking();
    const [host] = hosts;
    padOpens(host);
    point(host);
    page.send({ request: "abort" });
    point(host);
    assert.deepEqual(page.answers, ["opened", "point"]);
    assert.deepEqual([host.commands, host.disconnected], [["OPEN2", "CLOSE"], false]);
    assert.deepEqual(fakeApi.action.state, kButtonAtRest);
});

it("cuts off a host let go that has not gone within the reply's time limit, and then starts the next", async (t) => {
    t.mock.timers.enable({ apis: ["setTimeout"] });
    const first = await pageAsking({ timeoutMs: 5000 });
    first.send({ request: "abort" });
    await pageAsking({ timeoutMs: 10_000 });
    t.mock.timers.tick(4999);
    await settle();
    assert.deepEqual(hosts.map(({ disconnected }) => disconnected), [false]);
    t.mock.timers.tick(1);
    await settle();
    assert.deepEqual(hosts.map(({ disconnected }) => disconnected), [true, false]);
});
