// Types of the page library that asks the signing extension for a signature from the pad.

/** Why a page got no signature; see the README's table for what each means to the signer. */
export type ErrorCodeValue =
    | "extension-missing"
    | "host-missing"
    | "no-pad"
    | "pad-in-use"
    | "origin-not-allowed"
    | "timeout"
    | "host-gone"
    | "bad-request"
    | "needs-user-gesture"
    | "capture-idle"
    | "tab-hidden"
    | "ended-by-user";

export declare const ErrorCode: Readonly<{
    extensionMissing: "extension-missing";
    hostMissing: "host-missing";
    noPad: "no-pad";
    padInUse: "pad-in-use";
    originNotAllowed: "origin-not-allowed";
    timeout: "timeout";
    hostGone: "host-gone";
    badRequest: "bad-request";
    needsUserGesture: "needs-user-gesture";
    captureIdle: "capture-idle";
    tabHidden: "tab-hidden";
    endedByUser: "ended-by-user";
}>;

export declare class SignatureError extends Error {
    readonly name: "SignatureError";
    readonly code: ErrorCodeValue;
}

/** One pen point in the pad's logical units; touch is false once, where the pen lifts. */
export interface PenPoint {
    x: number;
    y: number;
    touch: boolean;
}

export interface OpenOptions {
    /**
     * Milliseconds to wait for the extension to take the request ("extension-missing") and for
     * the pad to open ("timeout"); a whole number from 1 to kMaxTimeoutMs, default kDefaultTimeoutMs.
     */
    timeoutMs?: number;
}

export interface CaptureEventMap {
    point: CustomEvent<PenPoint>;
    end: CustomEvent<{ error: SignatureError | null }>;
}

export declare class Capture extends EventTarget {
    /** The pad's device number, as the host reports it. */
    readonly device: number;
    /** The pad's logical size: points run from 0 to width and from 0 to height. */
    readonly width: number;
    readonly height: number;
    /** True once the capture has ended. */
    readonly over: boolean;
    /** Resolves with the host's goodbye after close(), or rejects with the error that ended the capture. */
    readonly ended: Promise<string>;
    /** Every point so far, in order, as [X, Y, P]: P is 1 while the pen touches, 0 where it lifts. */
    readonly points: ReadonlyArray<readonly [number, number, 0 | 1]>;
    /** The pen-down runs so far, each a list of [X, Y] ending where the pen lifts. */
    readonly strokes: ReadonlyArray<ReadonlyArray<readonly [number, number]>>;
    /** An SVG drawing of the strokes, the size of the pad, with every point in its metadata. */
    toSvg(): string;
    /** Closes the pad; resolves with the host's goodbye ("EXITING..."). */
    close(): Promise<string>;
    addEventListener<K extends keyof CaptureEventMap>(
        type: K,
        listener: (event: CaptureEventMap[K]) => void,
        options?: boolean | AddEventListenerOptions,
    ): void;
    addEventListener(
        type: string,
        listener: EventListenerOrEventListenerObject | null,
        options?: boolean | AddEventListenerOptions,
    ): void;
}

export declare const kDefaultTimeoutMs: 15000;
export declare const kMaxTimeoutMs: 120000;

/**
 * Asks the signing extension to open the pad. Call it from the handler of a person's click, tap
 * or key press, in a tab that shows (else "needs-user-gesture"). Resolves once the pad is open;
 * rejects with a SignatureError (or a RangeError for a timeoutMs out of range).
 */
export declare function open(options?: OpenOptions): Promise<Capture>;
