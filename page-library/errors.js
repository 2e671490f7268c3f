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
};

export class SignatureError extends Error {
    constructor(code) {
        super(kMessages[code] ?? `The signing extension reported "${code}"`);
        this.name = "SignatureError";
        this.code = code;
    }
}
