// The limits on a running capture, on the test's clock: the idle limit counts from the pad's
// opening however long the opening took, points put it off, and a tab shown again within the
// hidden limit keeps its capture.
import assert from "node:assert/strict";
import { it } from "node:test";
import { CaptureWatch, LimitReached } from "../../extension/src/capture-watch.js";

const kLimits = { idleLimitMs: 1000, hiddenLimitMs: 500 };

// A watch on a clock that starts at 0 and moves only by the test's steps; each step is
// [milliseconds to let pass, what happens then]. Returns each limit reached with its time.
function watchThrough(t, visible, steps) {
    t.mock.timers.enable({ apis: ["setTimeout", "Date"], now: 0 });
    t.mock.method(performance, "now", () => Date.now());
    const reached = [];
    const watch = new CaptureWatch(kLimits, visible, (limit) => reached.push([limit, Date.now()]));
    for (const [passMs, event = () => {}] of steps) {
        t.mock.timers.tick(passMs);
        event(watch);
    }
    return reached;
}

it("counts the idle limit from the pad's opening, when the pad takes longer to open than the limit", (t) => {
    const reached = watchThrough(t, true, [[3000, (watch) => watch.opened()], [999], [1]]);
    assert.deepEqual(reached, [[LimitReached.idle, 4000]]);
});

it("puts the idle limit off by each point", (t) => {
    const reached = watchThrough(t, true, [[0, (watch) => watch.opened()], [600, (watch) => watch.point()], [999], [1], [5000]]);
    assert.deepEqual(reached, [[LimitReached.idle, 1600]]);
});

it("keeps a capture whose tab is shown again within the hidden limit, and ends one hidden again for the limit", (t) => {
    const hide = (watch) => watch.visibility(false);
    const show = (watch) => watch.visibility(true);
    const reached = watchThrough(t, true, [[100, hide], [499, show], [200, hide], [499], [1]]);
    assert.deepEqual(reached, [[LimitReached.hidden, 1299]]);
});

it("ends a capture opened in a hidden tab once the hidden limit has passed, and reaches no limit after stop()", (t) => {
    assert.deepEqual(watchThrough(t, false, [[500]]), [[LimitReached.hidden, 500]]);
    t.mock.timers.reset();
    assert.deepEqual(watchThrough(t, true, [[0, (watch) => watch.opened()], [10, (watch) => watch.stop()], [5000]]), []);
});
