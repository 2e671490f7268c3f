// Where the library's pictures of a signature sit: the view of the pad (whole, or cropped to the
// ink with a margin) and the picture's size, as the SVG writes them and the raster uses them.
import assert from "node:assert/strict";
import { it } from "node:test";
import { imageFrame } from "../../page-library/image-frame.js";
import { signaturePng } from "../../page-library/signature-raster.js";
import { signatureSvg } from "../../page-library/signature-svg.js";

const strokes = [[[100, 200], [300, 250]], [[500, 400]]];

it("frames the whole pad or the ink with its margin, at the size asked for", () => {
    const cases = [
        [{}, { x: 0, y: 0, width: 2000, height: 1000, outputWidth: 2000, outputHeight: 1000, scale: 1, offsetX: 0, offsetY: 0 }],
        [{ crop: true, lineWidth: 4, margin: 10 }, { x: 88, y: 188, width: 424, height: 224, outputWidth: 424, outputHeight: 224, scale: 1, offsetX: 0, offsetY: 0 }],
        [{ width: 500 }, { x: 0, y: 0, width: 2000, height: 1000, outputWidth: 500, outputHeight: 250, scale: 0.25, offsetX: 0, offsetY: 0 }],
        [{ height: 100 }, { x: 0, y: 0, width: 2000, height: 1000, outputWidth: 200, outputHeight: 100, scale: 0.1, offsetX: 0, offsetY: 0 }],
        [{ width: 400, height: 400 }, { x: 0, y: 0, width: 2000, height: 1000, outputWidth: 400, outputHeight: 400, scale: 0.2, offsetX: 0, offsetY: 100 }],
    ];
    assert.deepEqual(cases.map(([options]) => [options, imageFrame(strokes, 2000, 1000, options)]), cases);
    assert.deepEqual(imageFrame([], 2000, 1000, { crop: true, margin: 10 }), cases[0][1], "no ink: the whole pad");
});

it("writes the frame, the pen and the background into the SVG", () => {
    const svg = (options) => {
        const text = signatureSvg({ strokes, points: [] }, 2000, 1000, options);
        return [/<svg [^>]*>/.exec(text)[0], /<rect [^>]*>/.exec(text)?.[0] ?? null, /<g [^>]*>/.exec(text)[0]];
    };
    assert.deepEqual(svg({}), [
        `<svg xmlns="http://www.w3.org/2000/svg" width="2000" height="1000" viewBox="0 0 2000 1000">`, null,
        `<g fill="none" stroke="black" stroke-width="7" stroke-linecap="round" stroke-linejoin="round">`]);
    assert.deepEqual(svg({ crop: true, lineWidth: 4, margin: 10, width: 212, color: "#123", background: "white" }), [
        `<svg xmlns="http://www.w3.org/2000/svg" width="212" height="112" viewBox="88 188 424 224">`,
        `<rect x="88" y="188" width="424" height="224" fill="white"/>`,
        `<g fill="none" stroke="#123" stroke-width="4" stroke-linecap="round" stroke-linejoin="round">`]);
});

// An OffscreenCanvas that records what is drawn on it instead of drawing.
class RecordingCanvas {
    constructor(width, height) {
        Object.assign(this, { width, height, calls: [] });
    }

    getContext() {
        return new Proxy({}, { get: (_, name) => (...args) => this.calls.push([name, ...args]), set: () => true });
    }

    convertToBlob() {
        return Promise.resolve(this);
    }
}

it("draws a PNG of both a width and a height with the whole pad fitted inside and centred", async (t) => {
    globalThis.OffscreenCanvas = RecordingCanvas;
    t.after(() => delete globalThis.OffscreenCanvas);
    const canvas = await signaturePng({ strokes, points: [] }, 2000, 1000, { width: 400, height: 400, background: "white" });
    const [, a, , , d, e, f] = canvas.calls.find(([name]) => name === "setTransform");
    const drawn = canvas.calls.filter(([name]) => ["moveTo", "lineTo"].includes(name))
        .map(([, x, y]) => [Math.round(a * x + e), Math.round(d * y + f)]);
    assert.deepEqual([canvas.width, canvas.height], [400, 400]);
    assert.deepEqual(canvas.calls.find(([name]) => name === "fillRect"), ["fillRect", 0, 0, 400, 400]);
    assert.deepEqual(drawn, [[20, 140], [60, 150], [100, 180], [100, 180]]);
});
