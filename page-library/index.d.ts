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
    | "pad-gone"
    | "needs-user-gesture"
    | "capture-idle"
    | "tab-hidden"
    | "ended-by-user"
    | "aborted"
    | "sealed-only"
    | "no-sealing-key"
    | "sealing-key-refused"
    | "signing-cancelled"
    | "signing-window-closed";

export declare const ErrorCode: Readonly<{
    extensionMissing: "extension-missing";
    hostMissing: "host-missing";
    noPad: "no-pad";
    padInUse: "pad-in-use";
    originNotAllowed: "origin-not-allowed";
    timeout: "timeout";
    hostGone: "host-gone";
    badRequest: "bad-request";
    padGone: "pad-gone";
    needsUserGesture: "needs-user-gesture";
    captureIdle: "capture-idle";
    tabHidden: "tab-hidden";
    endedByUser: "ended-by-user";
    aborted: "aborted";
    sealedOnly: "sealed-only";
    noSealingKey: "no-sealing-key";
    sealingKeyRefused: "sealing-key-refused";
    signingCancelled: "signing-cancelled";
    signingWindowClosed: "signing-window-closed";
}>;

export declare class SignatureError extends Error {
    /** Made by the library alone. */
    private constructor();
    readonly name: "SignatureError";
    readonly code: ErrorCodeValue;
}

/**
 * One pen point in the pad's logical units; touch is false once, where the pen lifts. A point a
 * page builds itself may leave t out, as before points carried times.
 */
export interface PenPoint {
    x: number;
    y: number;
    touch: boolean;
    /** Milliseconds from the pad's opening to the point's arrival at the host; null from a host without times. */
    t?: number | null;
}

/** A pen point as a capture gives it: its t always there. */
export interface CapturedPenPoint extends PenPoint {
    t: number | null;
}

/** The pad that took a signature, as it reported itself at the opening. */
export interface PadIdentity {
    serial: number;
    model: number;
}

/** A capture as a record to keep (format "lumarq-signature-evidence", version 1); see the README. */
export interface SignatureEvidence {
    format: "lumarq-signature-evidence";
    version: 1;
    /** The page's clock when the pad opened, ISO 8601. */
    started: string;
    pad: PadIdentity | null;
    size: { width: number; height: number };
    /** What t counts, in words. */
    time: string;
    points: Array<{ x: number; y: number; t: number | null; touch: boolean }>;
    /** Each stroke as the indexes of its first and last point (the lift) in points. */
    strokes: Array<[number, number]>;
}

export declare const kEvidenceFormat: "lumarq-signature-evidence";
export declare const kEvidenceVersion: 1;
/** What is wrong with a stored evidence record's shape (parsed JSON): an empty list when it is well formed. No protection against a record altered or made up. */
export declare function checkEvidence(record: unknown): string[];

export interface OpenOptions {
    /**
     * Milliseconds to wait for the extension to take the request ("extension-missing") and for
     * the pad to open ("timeout"); a whole number from 1 to kMaxTimeoutMs, default kDefaultTimeoutMs.
     * Once the pad is open it no longer counts.
     */
    timeoutMs?: number;
    /**
     * Aborting it while the pad opens rejects with "aborted"; once the pad is open it ends the
     * capture with "aborted". Either way the pad is let go.
     */
    signal?: AbortSignal;
}

export interface AvailabilityOptions {
    /** Milliseconds to wait for the bridge's answer; default kDefaultPresenceTimeoutMs (250). */
    timeoutMs?: number;
}

export interface CaptureEventMap {
    point: CustomEvent<CapturedPenPoint>;
    end: CustomEvent<{ error: SignatureError | null }>;
    clear: CustomEvent<null>;
}

/** How a picture of the signature looks; every field is optional. */
export interface ImageOptions {
    /** Any CSS colour; default "black". */
    color?: string;
    /** In the pad's logical units; default about a 300th of the pad's longer side. */
    lineWidth?: number;
    /** Any CSS colour, or "transparent" (the default). */
    background?: string;
    /** Show only the ink (and margin around it) instead of the whole pad; default false. */
    crop?: boolean;
    /** Around the ink when cropping, in logical units; default 0. */
    margin?: number;
    /** Of the picture in pixels; one alone keeps the proportions, both fit the drawing inside, centred. */
    width?: number;
    height?: number;
}

/** Live ink on a page's canvas: draws each new point's segment as it comes, blanks on clear(). */
export declare class InkCanvas {
    constructor(canvas: HTMLCanvasElement, capture: Capture, options?: Pick<ImageOptions, "color" | "lineWidth" | "background">);
}

export declare class Capture extends EventTarget {
    /** open() makes captures; a page does not. */
    private constructor();
    /** The pad's device number, as the host reports it. */
    readonly device: number;
    /** The pad's logical size: points run from 0 to width and from 0 to height. */
    readonly width: number;
    readonly height: number;
    /** The pad's serial and model numbers; null from a host that does not give them. */
    readonly pad: PadIdentity | null;
    /** The page's clock when the pad opened, ISO 8601. */
    readonly startedAt: string;
    /** Each point's t, in the order of points (null from a host without times). */
    readonly times: ReadonlyArray<number | null>;
    /** True once the capture has ended. */
    readonly over: boolean;
    /** Resolves with the host's goodbye after close(), or rejects with the error that ended the capture. */
    readonly ended: Promise<string>;
    /** Every point so far (a frozen copy), in order, as [X, Y, P]: P is 1 while the pen touches, 0 where it lifts. */
    readonly points: ReadonlyArray<readonly [number, number, 0 | 1]>;
    /** The pen-down runs so far, each a list of [X, Y] ending where the pen lifts. */
    readonly strokes: ReadonlyArray<ReadonlyArray<readonly [number, number]>>;
    /** The capture so far as a record a service can keep. */
    toEvidence(): SignatureEvidence;
    /** An SVG drawing of the strokes in the pad's logical units (viewBox), with every point in its metadata. */
    toSvg(options?: ImageOptions): string;
    /** A PNG of the strokes (on an OffscreenCanvas where the browser has one). */
    toPng(options?: ImageOptions): Promise<Blob>;
    /** The PNG as a data: URL. */
    toDataUrl(options?: ImageOptions): Promise<string>;
    /** Forgets the points so far, for a new signature; the pad stays open. */
    clear(): void;
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
export declare const kDefaultPresenceTimeoutMs: 250;

/**
 * Resolves true when the signing extension's bridge serves this page, false when none answered
 * within timeoutMs: the extension is missing, or this site is not on its list (a page already
 * open when its site is allowed learns it after a reload).
 */
export declare function isAvailable(options?: AvailabilityOptions): Promise<boolean>;

/**
 * Asks the signing extension to open the pad. Call it from the handler of a person's click, tap
 * or key press, in a tab that shows (else "needs-user-gesture"). Rejects at once with
 * "extension-missing" when no bridge answers. Resolves once the pad is open; rejects with a
 * SignatureError, "bad-request" for a timeoutMs out of range.
 */
export declare function open(options?: OpenOptions): Promise<Capture>;

/** The longest purpose text a sealed signature takes. */
export declare const kMaxPurposeLength: 200;

export interface SealedSignatureOptions {
    /** The SHA-256 of the document signed, as 64 hex digits; the record is bound to it. */
    documentHash: string;
    /** What the person signs, shown as text in the signing window: 1 to kMaxPurposeLength characters, no control characters. */
    purpose: string;
    /** How the pictures of the signature look. */
    image?: ImageOptions;
    /** Milliseconds to wait for the extension to take the request and for the pad to open, as open() takes it. */
    timeoutMs?: number;
    /** Aborting it ends the signing ("aborted") and closes the signing window. */
    signal?: AbortSignal;
    /** Called once the pad is open and the signing window shows. */
    onStarted?: () => void;
}

/** What the page gets of a sealed signature: never a pen point or its time. */
export interface SealedSignature {
    /** The sealed record as a compact JWE, whose protected header carries kid, origin and documentHash. */
    jwe: string;
    /** The RFC 7638 SHA-256 thumbprint of the key it is sealed to. */
    kid: string;
    /** A picture of the signature as SVG text, without a point record. */
    svg: string;
    /** The picture as a PNG. */
    png: Blob;
    /** The pad's serial and model numbers; null from a host that does not give them. */
    pad: PadIdentity | null;
}

/**
 * Asks the signing extension for a sealed signature, for a site the extension pins a sealing key
 * for (else "no-sealing-key"). Call it from the handler of a person's click, tap or key press. The
 * person signs in the extension's signing window; resolves once they press Done and the record is
 * sealed. Rejects with a SignatureError: "signing-cancelled", "signing-window-closed", and the
 * codes of open().
 */
export declare function requestSealedSignature(options: SealedSignatureOptions): Promise<SealedSignature>;
