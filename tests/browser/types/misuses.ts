// What the types must refuse: each marked line below must be an error; tsc fails on an expected
// error that does not come, so a misuse that type-checks fails the check.
import { Capture, ErrorCode, open, PenPoint, requestSealedSignature, SignatureError } from "../../../page-library/index.js";

const capture = await open();
// @ts-expect-error: captures come from open()
new Capture();
// @ts-expect-error: errors come from the library
new SignatureError("anything");
// @ts-expect-error: points are a read-only copy
capture.points.push([1, 2, 1]);
// @ts-expect-error: so is each point
capture.points[0][0] = 5;
// @ts-expect-error: strokes too
capture.strokes[0].pop();
// @ts-expect-error: timeoutMs is a number
await open({ timeoutMs: "5000" });
// @ts-expect-error: no such code
console.log(ErrorCode.padBusy);
// @ts-expect-error: no such image option
capture.toSvg({ colour: "red" });
// @ts-expect-error: a sealed signature needs the document's hash
await requestSealedSignature({ purpose: "Contract" });
// @ts-expect-error: and no key of the page's own
await requestSealedSignature({ documentHash: "00", purpose: "Contract", key: "-----BEGIN PUBLIC KEY-----" });
// @ts-expect-error: the sealed result holds no points
console.log((await requestSealedSignature({ documentHash: "00", purpose: "p" })).points);
// @ts-expect-error: a point's time is a number or null
const point: PenPoint = { x: 1, y: 2, touch: true, t: "5" };
capture.addEventListener("point", ({ detail }) => {
    // @ts-expect-error: a captured point's t is always there, null without a time
    const t: number = detail.t;
    console.log(point, t);
});
