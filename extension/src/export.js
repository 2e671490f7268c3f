// The signature as files: an SVG drawing that also carries every point as the host sent it, and
// a PNG of the pad canvas. Both are saved through the browser's downloads.

// The SVG: one polyline per stroke in the logical units of the pad, and in <metadata> the
// POINT messages in order as [X, Y, P] triples.
export function signatureSvg(signature, width, height, penWidth) {
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

export function saveFile(blob, name) {
    const url = URL.createObjectURL(blob);
    const link = document.createElement("a");
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    // The download has its own copy once it starts.
    setTimeout(() => URL.revokeObjectURL(url), 60_000);
}

export function saveSvg(signature, width, height, penWidth) {
    const text = signatureSvg(signature, width, height, penWidth);
    saveFile(new Blob([text], { type: "image/svg+xml" }), "signature.svg");
}

export function savePng(canvas) {
    canvas.toBlob((blob) => saveFile(blob, "signature.png"), "image/png");
}
