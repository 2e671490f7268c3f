// The limits on a running capture: it ends when no point has come for the idle limit, and when
// its tab has been hidden for the hidden limit. One timer each; points only note their time, so
// a busy pen costs no timer work.
export const LimitReached = Object.freeze({ idle: "capture-idle", hidden: "tab-hidden" });

export class CaptureWatch {
    // limits: { idleLimitMs, hiddenLimitMs }; onLimit(LimitReached) is called at most once.
    constructor(limits, visible, onLimit) {
        this.limits = limits;
        this.onLimit = onLimit;
        this.idleTimer = null;
        this.hiddenTimer = null;
        this.lastPointAt = 0;
        this.stopped = false;
        this.visibility(visible);
    }

    // The pad is open: the idle limit counts from now.
    opened() {
        this.point();
        this.armIdle(this.limits.idleLimitMs);
    }

    point() {
        this.lastPointAt = performance.now();
    }

    visibility(visible) {
        clearTimeout(this.hiddenTimer);
        this.hiddenTimer = visible ? null : setTimeout(() => this.reach(LimitReached.hidden), this.limits.hiddenLimitMs);
    }

    armIdle(delayMs) {
        this.idleTimer = setTimeout(() => {
            const quietMs = performance.now() - this.lastPointAt;
            if (quietMs >= this.limits.idleLimitMs) {
                this.reach(LimitReached.idle);
            } else {
                this.armIdle(this.limits.idleLimitMs - quietMs);
            }
        }, delayMs);
    }

    reach(limit) {
        if (!this.stopped) {
            this.stop();
            this.onLimit(limit);
        }
    }

    stop() {
        this.stopped = true;
        clearTimeout(this.idleTimer);
        clearTimeout(this.hiddenTimer);
    }
}
