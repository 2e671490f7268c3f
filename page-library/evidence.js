// A capture as a record a service can keep: the pad that took it, its logical size, when it
// started, and every point with its time, in a documented JSON layout that checkEvidence reads
// back.
export const kEvidenceFormat = "lumarq-signature-evidence";
export const kEvidenceVersion = 1;

// The pen-down runs of points given by their touch flags, as [first, last] indexes: each from a
// touching point up to and including the lift, the last point when the pen has not lifted yet.
function penDownRuns(touches) {
    const runs = [];
    let first = null;
    touches.forEach((touch, index) => {
        if (first === null && touch) {
            first = index;
        }
        if (first !== null && !touch) {
            runs.push([first, index]);
            first = null;
        }
    });
    if (first !== null) {
        runs.push([first, touches.length - 1]);
    }
    return runs;
}

// The record of a capture: started is the page's clock when the pad opened (an ISO 8601 text),
// pad null when the host gave no numbers, each point's t null when it gave no time.
export function buildEvidence({ pad, width, height, startedAt, points, times }) {
    return {
        format: kEvidenceFormat,
        version: kEvidenceVersion,
        started: startedAt,
        pad: pad ? { serial: pad.serial, model: pad.model } : null,
        size: { width, height },
        time: "milliseconds from the pad's opening to the point's arrival at the host",
        points: points.map(([x, y, p], index) => ({ x, y, t: times[index] ?? null, touch: p === 1 })),
        strokes: penDownRuns(points.map(([, , p]) => p === 1)),
    };
}

const isWhole = (value, least = 0) => Number.isInteger(value) && value >= least;

function pointProblems(points, size) {
    if (!Array.isArray(points)) {
        return ["points is not a list"];
    }
    const problems = [];
    let lastT = -1;
    points.forEach((point, index) => {
        const { x, y, t, touch } = point ?? {};
        if (!isWhole(x) || !isWhole(y) || x > size.width || y > size.height) {
            problems.push(`point ${index}: x and y must be whole numbers within the size`);
        }
        if (typeof touch !== "boolean") {
            problems.push(`point ${index}: touch must be true or false`);
        }
        if (t !== null && (!isWhole(t) || t < lastT)) {
            problems.push(`point ${index}: t must be null or a whole number no smaller than the one before`);
        }
        lastT = t ?? lastT;
    });
    return problems;
}

// The strokes must be exactly the pen-down runs of the points: none joined across a lift, split,
// left out or made up.
function strokeProblems(strokes, points) {
    if (!Array.isArray(strokes)) {
        return ["strokes is not a list"];
    }
    const runs = penDownRuns(points.map(({ touch }) => touch));
    const problems = [];
    for (let index = 0; index < Math.max(strokes.length, runs.length); index += 1) {
        if (index >= runs.length) {
            problems.push(`stroke ${index}: the points have no pen-down run for it`);
        } else if (JSON.stringify(strokes[index]) !== JSON.stringify(runs[index])) {
            problems.push(`stroke ${index}: must be [${runs[index]}], the points' pen-down run`);
        }
    }
    return problems;
}

// What is wrong with a stored record (parsed JSON): an empty list when it is well formed.
export function checkEvidence(record) {
    if (record === null || typeof record !== "object") {
        return ["not an object"];
    }
    if (record.format !== kEvidenceFormat || record.version !== kEvidenceVersion) {
        return [`format must be "${kEvidenceFormat}" version ${kEvidenceVersion}`];
    }
    const problems = [];
    if (typeof record.started !== "string" || Number.isNaN(Date.parse(record.started))) {
        problems.push("started must be a date and time");
    }
    const { pad, size } = record;
    if (pad !== null && !(isWhole(pad?.serial) && isWhole(pad?.model))) {
        problems.push("pad must be null or have whole serial and model numbers");
    }
    if (!isWhole(size?.width, 1) || !isWhole(size?.height, 1)) {
        return [...problems, "size must have whole width and height above 0"];
    }
    const points = pointProblems(record.points, size);
    return [...problems, ...points,
            ...(points.length === 0 ? strokeProblems(record.strokes, record.points) : [])];
}
