// The README's example as a TypeScript page would write it: it must type-check as it stands.
import { ErrorCode, InkCanvas, isAvailable, open, requestSealedSignature, SignatureError } from "../../../page-library/index.js";

const sign = document.querySelector<HTMLButtonElement>("#sign")!;
const canvas = document.querySelector<HTMLCanvasElement>("#signature canvas")!;
sign.hidden = !(await isAvailable());
sign.onclick = async () => {
    const controller = new AbortController();
    try {
        const capture = await open({ timeoutMs: 15_000, signal: controller.signal });
        new InkCanvas(canvas, capture, { color: "#12245c" });
        capture.addEventListener("point", ({ detail: { x, y, touch } }) => console.log(x, y, touch));
        capture.addEventListener("end", ({ detail }) => detail.error && console.warn(detail.error.code));
        document.querySelector<HTMLButtonElement>("#clear")!.onclick = () => capture.clear();
        const goodbye: string = await capture.close();
        const png: Blob = await capture.toPng({ crop: true, margin: 20 });
        const url: string = await capture.toDataUrl({ width: 300, background: "white" });
        const svg: string = capture.toSvg({ lineWidth: 4 });
        const [x, y, p] = capture.points[0];
        console.log(goodbye, png, url, svg, x + y + p, capture.strokes.length, capture.device, capture.width);
    } catch (error) {
        if (error instanceof SignatureError && error.code === ErrorCode.needsUserGesture) {
            console.warn(error.message);
        }
    }
};

// A sealed signature: the page keeps the JWE and shows the picture.
document.querySelector<HTMLButtonElement>("#sign-sealed")!.onclick = async () => {
    const sealed = await requestSealedSignature({
        documentHash: "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08",
        purpose: "Contract 2024-117",
        image: { crop: true, margin: 20 },
        onStarted: () => console.log("signing"),
    });
    const jwe: string = sealed.jwe;
    const png: Blob = sealed.png;
    console.log(jwe, png, sealed.kid, sealed.svg, sealed.pad?.serial);
};
