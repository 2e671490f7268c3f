// Code written for the library before points carried their times: it must type-check as it stands.
import { open, PenPoint } from "../../../page-library/index.js";

const capture = await open();
const drawn: PenPoint[] = [{ x: 10, y: 20, touch: true }];
const fromPoints: PenPoint[] = capture.points.map(([x, y, p]) => ({ x, y, touch: p === 1 }));
const keep = (point: PenPoint) => drawn.push(point);
capture.addEventListener("point", ({ detail }) => keep(detail));
capture.addEventListener("point", ({ detail: { x, y, touch } }) => keep({ x, y, touch }));
console.log(fromPoints.length);
