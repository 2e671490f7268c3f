// The sites whose pages may ask for a signature: origins the user added on the options page
// (local storage) and origins the administrator set by policy (managed storage), both under the
// key allowedOrigins. A policy may make the administrator's list the only one, and may name
// allowed sites that open the pad without a person's click. Only https origins may be allowed,
// and for development plain http on localhost and 127.0.0.1, each with any port.
import { readManaged } from "./policy.js";

const api = globalThis.browser ?? globalThis.chrome;

export const kAllowedOriginsKey = "allowedOrigins";
const kDevelopmentHosts = ["localhost", "127.0.0.1"];

// A host name of dot-separated labels, none empty: no trailing dot, which browsers keep as
// another origin, no wildcard, no IPv6 literal. IDN names arrive here already as punycode.
function isPlainHost(hostname) {
    return hostname.split(".").every((label) => /^[a-z0-9-]+$/.test(label));
}

// Why a text names no origin that may be allowed, or null when it does. A path, a query, a user
// name, a wildcard or an IPv6 address is refused rather than dropped, so that nobody allows a
// whole site while believing to allow one page of it.
export function originProblem(text) {
    let url;
    try {
        url = new URL(String(text).trim());
    } catch {
        return "it is not a web address (write it as https://sign.example.com)";
    }
    if (url.protocol !== "https:" && !(url.protocol === "http:" && kDevelopmentHosts.includes(url.hostname))) {
        return "only https sites can be allowed (plain http only on localhost and 127.0.0.1, for development)";
    }
    if (url.username || url.password) {
        return "a user name or password is not part of a site";
    }
    if (url.pathname !== "/" || url.search || url.hash) {
        return "give the site alone, without a path, query or fragment";
    }
    if (!isPlainHost(url.hostname)) {
        return "the host name has an empty part, a trailing dot, a wildcard or an IPv6 address";
    }
    return null;
}

// The origin a text names when it is one that may be allowed, else null.
export function allowableOrigin(text) {
    return originProblem(text) ? null : new URL(String(text).trim()).origin;
}

function allowableOrigins(listed) {
    return Array.isArray(listed) ? [...new Set(listed.map(allowableOrigin).filter(Boolean))] : [];
}

// fromUser and fromAdministrator as stored; administratorOnly when the policy makes the
// administrator's list the only one; origins, the sites allowed now.
export async function readAllowedOrigins() {
    const [local, managed] = await Promise.all([
        api.storage.local.get(kAllowedOriginsKey),
        readManaged([kAllowedOriginsKey, "administratorOriginsOnly"]),
    ]);
    const fromUser = allowableOrigins(local[kAllowedOriginsKey]);
    const fromAdministrator = allowableOrigins(managed[kAllowedOriginsKey]);
    const administratorOnly = managed.administratorOriginsOnly === true;
    const origins = administratorOnly ? fromAdministrator : [...new Set([...fromUser, ...fromAdministrator])];
    return { fromUser, fromAdministrator, administratorOnly, origins };
}

// Whether origin may ask for a signature, and whether the administrator lets it open the pad
// without a person's click (only an allowed site can be let).
export async function accessOf(origin) {
    const [{ origins }, managed] = await Promise.all([readAllowedOrigins(), readManaged("originsWithoutGesture")]);
    const allowed = origins.includes(origin);
    return { allowed, gestureWaived: allowed && allowableOrigins(managed.originsWithoutGesture).includes(origin) };
}
