// The signature as files: an SVG drawing that also carries every point as the host sent it, and
// a PNG of the pad canvas. Both are saved through the browser's downloads.
import { signatureSvg } from "./signature-svg.js";

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
    const text = signatureSvg(signature, width, height, { lineWidth: penWidth, background: "white" });
    saveFile(new Blob([text], { type: "image/svg+xml" }), "signature.svg");
}

export function savePng(canvas) {
    canvas.toBlob((blob) => saveFile(blob, "signature.png"), "image/png");
}
