// Draws a signature on a canvas whose pixels are the pad's logical units; the page's style
// scales the canvas to fit the screen.
import { penWidthFor } from "./signature-svg.js";

const kInk = "#12245c";

export class PadCanvas {
    constructor(canvas) {
        this.canvas = canvas;
        this.context = canvas.getContext("2d");
        this.resize(canvas.width, canvas.height);
    }

    resize(width, height) {
        this.canvas.width = width;
        this.canvas.height = height;
        this.penWidth = penWidthFor(width, height);
        this.blank();
    }

    blank() {
        this.context.fillStyle = "white";
        this.context.fillRect(0, 0, this.canvas.width, this.canvas.height);
    }

    // Draws the newest point of a stroke: a segment from the point before it, or a dot.
    drawStrokeEnd(stroke) {
        const to = stroke[stroke.length - 1];
        const from = stroke.length > 1 ? stroke[stroke.length - 2] : to;
        this.segment(from, to);
    }

    redraw(signature) {
        this.blank();
        for (const stroke of signature.strokes) {
            stroke.forEach((to, i) => this.segment(stroke[Math.max(0, i - 1)], to));
        }
    }

    segment([x0, y0], [x1, y1]) {
        const c = this.context;
        c.strokeStyle = kInk;
        c.fillStyle = kInk;
        c.lineWidth = this.penWidth;
        c.lineCap = "round";
        c.beginPath();
        if (x0 === x1 && y0 === y1) {
            // A canvas strokes nothing for a segment of no length.
            c.arc(x1, y1, this.penWidth / 2, 0, 2 * Math.PI);
            c.fill();
        } else {
            c.moveTo(x0, y0);
            c.lineTo(x1, y1);
            c.stroke();
        }
    }
}
