// The page library's open() against a bridge the test plays in a stand-in window: an open keeps
// to its own answers while another script's message reuses its id, and its signal ends it at
// any stage, the bridge asked to let the pad go, with no point taken after.
import assert from "node:assert/strict";
import { beforeEach, it } from "node:test";

const kBridgeSource = "lumarq-orvanesign-bridge";

// A window that delivers what is posted to it as a message event of its own, in a later task.
const stand = Object.assign(new EventTarget(), {
    postMessage(data) {
        const event = Object.assign(new Event("message"), { data, source: stand, origin: "https://sign.example.com" });
        setImmediate(() => stand.dispatchEvent(event));
    },
});
globalThis.window = stand;
const { ErrorCode, open } = await import("../../page-library/index.js");

// The bridge: present at once, accepting each open; the test gives every other answer.
let requests;
beforeEach(() => {
    requests = [];
});
stand.addEventListener("message", ({ data }) => {
    if (data?.source === "lumarq-orvanesign-page") {
        requests.push(data);
        const answer = { hello: "present", open: "accepted" }[data.request];
        if (answer) {
            answerPage(data.id, { event: answer });
        }
    }
});

function answerPage(id, answer) {
    stand.postMessage({ source: kBridgeSource, id, ...answer });
}

const nextTask = () => new Promise((resolve) => setImmediate(resolve));
const openRequest = () => requests.find(({ request }) => request === "open");
const kOpened = { event: "opened", device: 1, width: 2150, height: 1400, pad: null };
const kPoint = { event: "point", x: 1, y: 2, touch: true, t: 3 };

// Runs open() until the bridge has accepted it; the request's id, and what open() gave.
async function openAccepted(options) {
    const outcome = open(options).then((capture) => ({ capture }), (error) => ({ code: error.code }));
    while (!openRequest()) {
        await nextTask();
    }
    await nextTask();
    return { id: openRequest().id, outcome };
}

it("keeps a pending open through the refusal of another message with its id, and fails on its own refusal", async () => {
    const reused = await openAccepted();
    answerPage(reused.id, { event: "error", code: ErrorCode.badRequest, idInUse: true });
    answerPage(reused.id, kOpened);
    assert.deepEqual((await reused.outcome).capture.points, []);

    requests = [];
    const refused = await openAccepted();
    answerPage(refused.id, { event: "error", code: ErrorCode.badRequest });
    assert.deepEqual(await refused.outcome, { code: ErrorCode.badRequest });
});

it("ends with aborted when its signal is aborted while the pad opens or after, asking the bridge to let the pad go, and takes no point after", async () => {
    const stages = {
        "while the pad opens": async (controller) => {
            const { outcome } = await openAccepted({ signal: controller.signal });
            controller.abort();
            return await outcome;
        },
        "after the pad opened": async (controller) => {
            const { id, outcome } = await openAccepted({ signal: controller.signal });
            answerPage(id, kOpened);
            answerPage(id, kPoint);
            const { capture } = await outcome;
            await nextTask();
            const ends = [];
            capture.addEventListener("end", ({ detail }) => ends.push(detail.error.code));
            controller.abort();
            answerPage(id, kPoint);
            await nextTask();
            const code = await capture.ended.catch((error) => error.code);
            return { code, ends, points: capture.points.length, over: capture.over };
        },
    };
    const found = [];
    for (const [stage, abortAt] of Object.entries(stages)) {
        requests = [];
        const controller = new AbortController();
        const outcome = await abortAt(controller);
        await nextTask();
        const asked = requests.filter(({ request }) => request !== "hello").map(({ request, id }) => [request, id === openRequest()?.id]);
        found.push([stage, outcome, asked]);
    }
    const aborted = { code: ErrorCode.aborted };
    assert.deepEqual(found, [
        ["while the pad opens", aborted, [["open", true], ["abort", true]]],
        ["after the pad opened", { ...aborted, ends: [ErrorCode.aborted], points: 1, over: true }, [["open", true], ["abort", true]]],
    ]);
});
