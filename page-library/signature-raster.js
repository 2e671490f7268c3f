// A signature as a raster picture (PNG, or a data URL of one), drawn on an OffscreenCanvas where
// the browser has one, else on a detached <canvas>. Options as signatureSvg() takes them.
import { imageFrame, penWidthFor } from "./image-frame.js";

function newCanvas(width, height) {
    if (typeof OffscreenCanvas === "function") {
        return new OffscreenCanvas(width, height);
    }
    const canvas = document.createElement("canvas");
    canvas.width = width;
    canvas.height = height;
    return canvas;
}

// Strokes of [X, Y] in the context's current units; a stroke of one point is a dot.
export function drawStrokes(context, strokes, { color, lineWidth }) {
    context.strokeStyle = color;
    context.lineWidth = lineWidth;
    context.lineCap = "round";
    context.lineJoin = "round";
    for (const stroke of strokes) {
        context.beginPath();
        context.moveTo(...stroke[0]);
        // A canvas strokes nothing for a path of no length unless it has a second vertex.
        for (const [x, y] of stroke.length === 1 ? [[stroke[0][0] + 0.01, stroke[0][1]]] : stroke.slice(1)) {
            context.lineTo(x, y);
        }
        context.stroke();
    }
}

function drawnCanvas(signature, width, height, options) {
    const { lineWidth = penWidthFor(width, height), color = "black", background = "transparent" } = options;
    const frame = imageFrame(signature.strokes, width, height, { ...options, lineWidth });
    const canvas = newCanvas(frame.outputWidth, frame.outputHeight);
    const context = canvas.getContext("2d");
    if (background !== "transparent") {
        context.fillStyle = background;
        context.fillRect(0, 0, canvas.width, canvas.height);
    }
    context.setTransform(frame.scale, 0, 0, frame.scale, frame.offsetX - frame.x * frame.scale, frame.offsetY - frame.y * frame.scale);
    drawStrokes(context, signature.strokes, { color, lineWidth });
    return canvas;
}

export function signaturePng(signature, width, height, options = {}) {
    const canvas = drawnCanvas(signature, width, height, options);
    if (canvas.convertToBlob) {
        return canvas.convertToBlob({ type: "image/png" });
    }
    return new Promise((resolve) => canvas.toBlob(resolve, "image/png"));
}

export async function signatureDataUrl(signature, width, height, options = {}) {
    const blob = await signaturePng(signature, width, height, options);
    return new Promise((resolve, reject) => {
        const reader = new FileReader();
        reader.onload = () => resolve(reader.result);
        reader.onerror = () => reject(reader.error);
        reader.readAsDataURL(blob);
    });
}
