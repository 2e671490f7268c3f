// The page library's record of a capture: its strokes are exactly the pen-down runs of its
// points, its times follow clear(), and checkEvidence finds each way a stored record can be
// malformed. The record's shape only: nothing here tells an altered record from a true one.
import assert from "node:assert/strict";
import { it } from "node:test";
import { Capture } from "../../page-library/capture.js";
import { checkEvidence } from "../../page-library/evidence.js";

// Two strokes with a lift between them that ends no stroke, and a third still open at the end.
const kPoints = [[1, 1, 1], [2, 2, 1], [3, 3, 0], [4, 4, 0], [5, 5, 1], [6, 6, 0], [7, 7, 1], [8, 8, 1]];

function feed(capture, points, firstT = 0) {
    points.forEach(([x, y, p], index) => capture.receive({ event: "point", x, y, touch: p === 1, t: firstT + index }));
}

function capturedRecord() {
    const capture = new Capture(1, { device: 1, width: 100, height: 50, pad: { serial: 7, model: 5 } });
    feed(capture, kPoints);
    return { capture, record: JSON.parse(JSON.stringify(capture.toEvidence())) };
}

it("gives each stroke as the indexes of a pen-down run of the points, the capture's strokes", () => {
    const { capture, record } = capturedRecord();
    assert.deepEqual(record.strokes, [[0, 2], [4, 5], [6, 7]]);
    const strokePoints = record.strokes.map(([first, last]) => record.points.slice(first, last + 1).map(({ x, y }) => [x, y]));
    assert.deepEqual(strokePoints, capture.strokes);
    assert.deepEqual(checkEvidence(record), []);
});

it("keeps the times of the points after clear() only, in the record too", () => {
    const { capture } = capturedRecord();
    capture.clear();
    feed(capture, [[9, 9, 1], [10, 10, 0]], 20);
    assert.deepEqual(capture.times, [20, 21]);
    const record = capture.toEvidence();
    assert.deepEqual(record.points.map(({ t }) => t), [20, 21]);
    assert.deepEqual(record.strokes, [[0, 1]]);
});

it("names what is wrong with each malformed record, and checks the strokes against the points' touch flags", () => {
    const cases = [
        ["not an object", () => null, ["not an object"]],
        ["another version", (record) => { record.version = 2; }, ["format"]],
        ["a stroke past the last point", (record) => { record.strokes[2] = [6, 8]; }, ["stroke 2"]],
        ["strokes joined across a lift", (record) => { record.strokes.splice(0, 2, [0, 5]); }, ["stroke 0", "stroke 1", "stroke 2"]],
        ["a stroke that starts at the lift before it", (record) => { record.strokes[1] = [3, 5]; }, ["stroke 1"]],
        ["a stroke left out", (record) => { record.strokes.pop(); }, ["stroke 2"]],
        ["a stroke made up", (record) => { record.strokes.push([7, 7]); }, ["stroke 3"]],
        ["a lift turned into a touch", (record) => { record.points[2].touch = true; }, ["stroke 0"]],
        ["a stroke as text", (record) => { record.strokes[0] = "0,2"; }, ["stroke 0"]],
        ["strokes not a list", (record) => { record.strokes = {}; }, ["strokes"]],
        ["points not a list", (record) => { record.points = null; }, ["points"]],
        ["a point that is no object", (record) => { record.points[3] = null; }, ["point 3", "point 3", "point 3"]],
        ["a point outside the size", (record) => { record.points[0].x = 101; }, ["point 0"]],
        ["a touch flag as a number", (record) => { record.points[1].touch = 1; }, ["point 1"]],
        ["a time going back", (record) => { record.points[5].t = 1; }, ["point 5"]],
        ["a start that is no date", (record) => { record.started = "yesterday"; }, ["started"]],
        ["the pad's numbers as text", (record) => { record.pad.serial = "7"; }, ["pad"]],
        ["a size of nothing", (record) => { record.size.height = 0; }, ["size"]],
    ];
    const subjects = (problems) => problems.map((problem) => /^(not an object|\w+( \d+)?)/.exec(problem)[0]);
    const found = cases.map(([what, change, expected]) => {
        const { record } = capturedRecord();
        return [what, subjects(checkEvidence(change(record) === null ? null : record)), expected];
    });
    assert.deepEqual(found.map(([what, problems]) => [what, problems]), cases.map(([what, , expected]) => [what, expected]));
});
