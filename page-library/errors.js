// Why a page got no signature. The codes are stable; the messages are for the site's developers.
export const ErrorCode = Object.freeze({
    extensionMissing: "extension-missing",
    hostMissing: "host-missing",
    noPad: "no-pad",
    padInUse: "pad-in-use",
    originNotAllowed: "origin-not-allowed",
    timeout: "timeout",
    hostGone: "host-gone",
    badRequest: "bad-request",
    padGone: "pad-gone",
    needsUserGesture: "needs-user-gesture",
    captureIdle: "capture-idle",
    tabHidden: "tab-hidden",
    endedByUser: "ended-by-user",
    aborted: "aborted",
    sealedOnly: "sealed-only",
    noSealingKey: "no-sealing-key",
    sealingKeyRefused: "sealing-key-refused",
    signingCancelled: "signing-cancelled",
    signingWindowClosed: "signing-window-closed",
});

const kMessages = {
    [ErrorCode.extensionMissing]: "No signing extension answered: it is not installed in this browser, " +
        "or this site is not among the sites it serves",
    [ErrorCode.hostMissing]: "The signing extension could not start the signature pad program: it is " +
        "not installed, or does not allow this extension",
    [ErrorCode.noPad]: "The signature pad program found no pad",
    [ErrorCode.padInUse]: "The signature pad is in use by another tab, site, browser or user",
    [ErrorCode.originNotAllowed]: "The signing extension does not allow this site to ask for a signature",
    [ErrorCode.timeout]: "The signature pad program did not answer in time",
    [ErrorCode.hostGone]: "The signature pad program ended during the capture",
    [ErrorCode.badRequest]: "The signing extension refused a request it could not read",
    [ErrorCode.padGone]: "The signature pad was unplugged or lost its connection during the capture",
    [ErrorCode.needsUserGesture]: "The signing extension opens the pad only when a person has just clicked, " +
        "tapped or typed in this page, and only while its tab shows: call open() from such an event's handler",
    [ErrorCode.captureIdle]: "The capture ended: the pad sent no point for the extension's idle limit",
    [ErrorCode.tabHidden]: "The capture ended: its tab stayed hidden for longer than the extension's limit",
    [ErrorCode.endedByUser]: "The person signing ended the capture from the signing extension's button",
    [ErrorCode.aborted]: "The page aborted the signal it gave open(): the request or its capture ended",
    [ErrorCode.sealedOnly]: "The signing extension seals this site's signatures: ask with requestSealedSignature()",
    [ErrorCode.noSealingKey]: "The signing extension has no sealing key pinned for this site: ask with open()",
    [ErrorCode.sealingKeyRefused]: "The signing extension refused the sealing key pinned for this site (see its " +
        "options page), so it takes no signature for this site",
    [ErrorCode.signingCancelled]: "The person signing pressed Cancel in the signing window",
    [ErrorCode.signingWindowClosed]: "The person signing closed the signing window",
};

export class SignatureError extends Error {
    constructor(code, message = kMessages[code] ?? `The signing extension reported "${code}"`) {
        super(message);
        this.name = "SignatureError";
        this.code = code;
    }
}
