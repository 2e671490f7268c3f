// Where a signature's drawing sits: the part of the pad it shows (all of it, or the ink with a
// margin) in the pad's logical units, and the size of the picture made of it. Pure arithmetic,
// shared by the SVG and the raster images.

// A pen that reads well at the pad's size: about a 300th of its longer side.
export function penWidthFor(width, height) {
    return Math.max(2, Math.round(Math.max(width, height) / 300));
}

// The box around every stroke point, widened by half the pen; null without ink.
function inkBox(strokes, lineWidth) {
    const points = strokes.flat();
    if (points.length === 0) {
        return null;
    }
    const xs = points.map(([x]) => x);
    const ys = points.map(([, y]) => y);
    const half = lineWidth / 2;
    return { x0: Math.min(...xs) - half, y0: Math.min(...ys) - half, x1: Math.max(...xs) + half, y1: Math.max(...ys) + half };
}

// options: lineWidth, crop (to the ink), margin (around the ink, logical units), width and
// height (of the picture in pixels; one alone keeps the proportions, both fit the drawing inside,
// centred). Returns the view (x, y, width, height in logical units) and the picture's size, with
// the scale and offset that put the view into it.
export function imageFrame(strokes, padWidth, padHeight, options = {}) {
    const { lineWidth = penWidthFor(padWidth, padHeight), crop = false, margin = 0 } = options;
    const box = crop ? inkBox(strokes, lineWidth) : null;
    const view = box
        ? { x: Math.floor(box.x0 - margin), y: Math.floor(box.y0 - margin), x1: Math.ceil(box.x1 + margin), y1: Math.ceil(box.y1 + margin) }
        : { x: 0, y: 0, x1: padWidth, y1: padHeight };
    const width = Math.max(1, view.x1 - view.x);
    const height = Math.max(1, view.y1 - view.y);
    const outputWidth = Math.round(options.width ?? (options.height ? (options.height * width) / height : width));
    const outputHeight = Math.round(options.height ?? (options.width ? (options.width * height) / width : height));
    const scale = Math.min(outputWidth / width, outputHeight / height);
    return {
        x: view.x, y: view.y, width, height, outputWidth, outputHeight, scale,
        offsetX: (outputWidth - width * scale) / 2, offsetY: (outputHeight - height * scale) / 2,
    };
}
