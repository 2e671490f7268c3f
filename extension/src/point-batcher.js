// Draws points as they arrive, batched by frame: the first point after a frame asks for the next
// one, and that frame draws every point that came meanwhile, so that no point waits longer than
// one frame however fast they come. stats counts what happens, for the tests and measurements.
export class PointBatcher {
    // requestFrame(callback): the window's requestAnimationFrame; drawPoints(points) draws a batch;
    // now(): a clock in milliseconds.
    constructor(requestFrame, drawPoints, now = () => performance.now()) {
        Object.assign(this, { requestFrame, drawPoints, now });
        this.pending = [];
        this.frameRequested = false;
        this.stats = { arrived: 0, drawn: 0, frames: 0, mostInFrame: 0, mostFramesWaited: 0, longestWaitMs: 0 };
    }

    add(point) {
        this.pending.push({ point, frame: this.stats.frames, at: this.now() });
        this.stats.arrived += 1;
        if (!this.frameRequested) {
            this.frameRequested = true;
            this.requestFrame(() => this.drawFrame());
        }
    }

    // Forgets the points not drawn yet.
    drop() {
        this.stats.arrived -= this.pending.length;
        this.pending = [];
    }

    drawFrame() {
        this.frameRequested = false;
        const batch = this.pending;
        this.pending = [];
        const stats = this.stats;
        stats.frames += 1;
        this.drawPoints(batch.map(({ point }) => point));
        const drawnAt = this.now();
        stats.drawn += batch.length;
        stats.mostInFrame = Math.max(stats.mostInFrame, batch.length);
        for (const { frame, at } of batch) {
            stats.mostFramesWaited = Math.max(stats.mostFramesWaited, stats.frames - frame);
            stats.longestWaitMs = Math.max(stats.longestWaitMs, drawnAt - at);
        }
    }
}
