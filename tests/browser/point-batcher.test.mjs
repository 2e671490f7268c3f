// The signing window's ink: points drawn by frame, each within one frame of its arrival however
// fast they come, none lost, none drawn after Clear dropped it. Frames are counted, not timed.
import assert from "node:assert/strict";
import { it } from "node:test";
import { PointBatcher } from "../../extension/src/point-batcher.js";

// A window whose frames run when the test says: requestFrame queues, frame() runs what is queued.
function fakeWindow() {
    let queued = [];
    return {
        requestFrame: (callback) => queued.push(callback),
        frame: () => {
            const run = queued;
            queued = [];
            run.forEach((callback) => callback());
        },
        get requests() {
            return queued.length;
        },
    };
}

it("draws every point of a 2,000-point signature in the frame after it came, with one frame request per frame", () => {
    const window = fakeWindow();
    const drawn = [];
    const batcher = new PointBatcher(window.requestFrame, (points) => drawn.push(...points));
    // Points come in uneven bursts between frames, as the host's messages do on a busy machine.
    const bursts = [1, 0, 7, 33, 2, 0, 0, 120, 5];
    let sent = 0;
    for (let frame = 0; sent < 2000; frame++) {
        for (let i = 0; i < bursts[frame % bursts.length] && sent < 2000; i++, sent++) {
            batcher.add([sent, sent, 1]);
        }
        assert.ok(window.requests <= 1, "more than one frame requested");
        window.frame();
    }
    assert.deepEqual(drawn.map(([x]) => x), Array.from({ length: 2000 }, (_, i) => i));
    const { arrived, drawn: count, mostFramesWaited, mostInFrame } = batcher.stats;
    assert.deepEqual({ arrived, count, mostFramesWaited, mostInFrame }, { arrived: 2000, count: 2000, mostFramesWaited: 1, mostInFrame: 120 });
});

it("asks for no frame while no point comes, and draws nothing that Clear dropped", () => {
    const window = fakeWindow();
    const drawn = [];
    const batcher = new PointBatcher(window.requestFrame, (points) => drawn.push(...points));
    window.frame();
    assert.equal(window.requests, 0);
    batcher.add([1, 1, 1]);
    batcher.add([2, 2, 1]);
    batcher.drop();
    window.frame();
    batcher.add([3, 3, 1]);
    window.frame();
    assert.deepEqual(drawn, [[3, 3, 1]]);
    assert.deepEqual([batcher.stats.arrived, batcher.stats.drawn], [1, 1]);
});
