// A signature as an SVG drawing: one polyline per stroke in the pad's logical units, and in
// <metadata> every point in order as an [X, Y, P] triple, as the host sent it (left out with
// withPoints false, for a picture alone). Options as imageFrame() takes them, and color and
// background ("transparent" by default).
import { imageFrame, penWidthFor } from "./image-frame.js";

export { penWidthFor };

export function signatureSvg(signature, width, height, options = {}, { withPoints = true } = {}) {
    const { lineWidth = penWidthFor(width, height), color = "black", background = "transparent" } = options;
    const frame = imageFrame(signature.strokes, width, height, { ...options, lineWidth });
    const polylines = signature.strokes.map((stroke) => {
        // A single point is drawn as a dot: a line of no length with round caps.
        const vertices = stroke.length === 1 ? [stroke[0], stroke[0]] : stroke;
        return `    <polyline points="${vertices.map(([x, y]) => `${x},${y}`).join(" ")}"/>`;
    });
    const record = JSON.stringify({ maxx: width, maxy: height, points: signature.points });
    const attribute = (text) => String(text).replace(/[&<>"]/g, (c) => `&#${c.charCodeAt(0)};`);
    return [
        `<?xml version="1.0" encoding="UTF-8"?>`,
        `<svg xmlns="http://www.w3.org/2000/svg" width="${frame.outputWidth}" height="${frame.outputHeight}" ` +
            `viewBox="${frame.x} ${frame.y} ${frame.width} ${frame.height}">`,
        ...(withPoints ? [`  <metadata id="pen-points">${record}</metadata>`] : []),
        ...(background === "transparent" ? [] : [
            `  <rect x="${frame.x}" y="${frame.y}" width="${frame.width}" height="${frame.height}" fill="${attribute(background)}"/>`]),
        `  <g fill="none" stroke="${attribute(color)}" stroke-width="${lineWidth}" stroke-linecap="round" ` +
            `stroke-linejoin="round">`,
        ...polylines,
        `  </g>`,
        `</svg>`,
        ``,
    ].join("\n");
}
