// A test signature in raw pad units, and the POINT messages the host must make of it, worked out
// here independently of the host's decoder.
import fs from "node:fs";

// The host's defaults: the pad window 500..2650 by 350..2100 maps onto 2150 by 1400 units.
const kWindow = { x0: 500, y0: 350, x1: 2650, y1: 2100 };
export const kLogicalSize = { width: 2150, height: 1400 };

// Pad points [x, y, touch]: hovering before, between and after the strokes, a wave, a loop, a
// line that runs past the window's corner, and a dot.
export function testSignature() {
    const points = [[520, 400, 0], [540, 420, 0]];
    const stroke = (xy) => {
        points.push(...xy.map(([x, y]) => [Math.round(x), Math.round(y), 1]));
        const [x, y] = xy[xy.length - 1];
        points.push([Math.round(x) + 3, Math.round(y) + 3, 0], [Math.round(x) + 9, Math.round(y) + 9, 0]);
    };
    stroke(Array.from({ length: 60 }, (_, i) => [700 + 15 * i, 1100 - 350 * Math.sin(i / 6)]));
    stroke(Array.from({ length: 45 }, (_, i) => [
        1900 + 260 * Math.cos((i / 44) * 2 * Math.PI),
        1300 + 260 * Math.sin((i / 44) * 2 * Math.PI),
    ]));
    stroke(Array.from({ length: 30 }, (_, i) => [2300 + 20 * i, 1700 + 20 * i]));
    stroke([[1300, 1800]]);
    return points;
}

export function writeStrokesFile(path, points) {
    fs.writeFileSync(path, points.map((p) => p.join(" ")).join("\n") + "\n");
}

// Scale, truncate toward zero, clamp to the logical size.
function logical([x, y]) {
    const scale = (offset, size, extent) =>
        Math.min(size, Math.max(0, Math.trunc((offset * size) / extent)));
    return [
        scale(x - kWindow.x0, kLogicalSize.width, kWindow.x1 - kWindow.x0),
        scale(y - kWindow.y0, kLogicalSize.height, kWindow.y1 - kWindow.y0),
    ];
}

// [X, Y, P] for every POINT message: the touching points, and one P = 0 where each stroke lifts;
// hovering points are never sent.
export function expectedMessages(points) {
    const messages = [];
    let down = false;
    for (const [x, y, touch] of points) {
        if (touch || down) {
            messages.push([...logical([x, y]), touch ? 1 : 0]);
        }
        down = Boolean(touch);
    }
    return messages;
}
