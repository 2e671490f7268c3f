// A signature as an SVG drawing: one polyline per stroke in the pad's logical units, and in
// <metadata> every point in order as an [X, Y, P] triple, as the host sent it.

// A pen that reads well at the pad's size: about a 300th of its longer side.
export function penWidthFor(width, height) {
    return Math.max(2, Math.round(Math.max(width, height) / 300));
}

export function signatureSvg(signature, width, height, penWidth = penWidthFor(width, height)) {
    const polylines = signature.strokes.map((stroke) => {
        // A single point is drawn as a dot: a line of no length with round caps.
        const vertices = stroke.length === 1 ? [stroke[0], stroke[0]] : stroke;
        return `    <polyline points="${vertices.map(([x, y]) => `${x},${y}`).join(" ")}"/>`;
    });
    const record = JSON.stringify({ maxx: width, maxy: height, points: signature.points });
    return [
        `<?xml version="1.0" encoding="UTF-8"?>`,
        `<svg xmlns="http://www.w3.org/2000/svg" width="${width}" height="${height}" ` +
            `viewBox="0 0 ${width} ${height}">`,
        `  <metadata id="pen-points">${record}</metadata>`,
        `  <rect width="${width}" height="${height}" fill="white"/>`,
        `  <g fill="none" stroke="black" stroke-width="${penWidth}" stroke-linecap="round" ` +
            `stroke-linejoin="round">`,
        ...polylines,
        `  </g>`,
        `</svg>`,
        ``,
    ].join("\n");
}
