// Live ink on a page's <canvas>: each new point of a capture draws only its own segment (or a
// dot where a stroke starts), never the whole picture again; the canvas has the pad's logical
// size, which the page's style scales to fit. capture.clear() blanks it.
const kDefaults = { color: "black", background: "transparent" };

export class InkCanvas {
    #context;
    #options;
    #last = null; // the previous point while the pen touches

    constructor(canvas, capture, options = {}) {
        canvas.width = capture.width;
        canvas.height = capture.height;
        this.#context = canvas.getContext("2d");
        this.#options = { ...kDefaults, lineWidth: Math.max(2, Math.round(Math.max(capture.width, capture.height) / 300)), ...options };
        this.#blank();
        capture.addEventListener("point", ({ detail }) => this.#draw(detail));
        capture.addEventListener("clear", () => this.#blank());
    }

    #blank() {
        const { canvas } = this.#context;
        this.#context.clearRect(0, 0, canvas.width, canvas.height);
        if (this.#options.background !== "transparent") {
            this.#context.fillStyle = this.#options.background;
            this.#context.fillRect(0, 0, canvas.width, canvas.height);
        }
        this.#last = null;
    }

    // A lift point ends the stroke there, as the capture's strokes do.
    #draw({ x, y, touch }) {
        if (!touch && !this.#last) {
            return;
        }
        const c = this.#context;
        const [x0, y0] = this.#last ?? [x - 0.01, y];
        c.strokeStyle = this.#options.color;
        c.lineWidth = this.#options.lineWidth;
        c.lineCap = "round";
        c.beginPath();
        c.moveTo(x0, y0);
        c.lineTo(x, y);
        c.stroke();
        this.#last = touch ? [x, y] : null;
    }
}
