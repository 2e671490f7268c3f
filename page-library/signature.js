// The signature as the host reported it: every POINT message in order, and the strokes they make.
// A stroke runs from a pen-down point up to and including the P = 0 point where the pen lifts.
export class Signature {
    constructor() {
        this.clear();
    }

    clear() {
        this.points = [];
        this.strokes = [];
        this.strokeOpen = false;
    }

    // Adds one point and returns the stroke it extends (null for a lift with no stroke open).
    add(x, y, p) {
        this.points.push([x, y, p]);
        if (!this.strokeOpen) {
            if (p === 0) {
                return null;
            }
            this.strokes.push([]);
            this.strokeOpen = true;
        }
        const stroke = this.strokes[this.strokes.length - 1];
        stroke.push([x, y]);
        if (p === 0) {
            this.strokeOpen = false;
        }
        return stroke;
    }
}
