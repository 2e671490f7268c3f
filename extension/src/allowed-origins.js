// The sites whose pages may ask for a signature: origins the user added on the options page
// (local storage) and origins the administrator set by policy (managed storage), both under the
// key allowedOrigins. Only https origins may be allowed, and for development plain http on
// localhost and 127.0.0.1, each with any port.
const api = globalThis.browser ?? globalThis.chrome;

export const kAllowedOriginsKey = "allowedOrigins";
const kDevelopmentHosts = ["localhost", "127.0.0.1"];

// The origin a text names when it is one that may be allowed, else null. A path, a query, a user
// name, a wildcard or an IPv6 address is refused rather than dropped, so that nobody allows a
// whole site while believing to allow one page of it.
export function allowableOrigin(text) {
    let url;
    try {
        url = new URL(String(text).trim());
    } catch {
        return null;
    }
    const secure = url.protocol === "https:";
    const development = url.protocol === "http:" && kDevelopmentHosts.includes(url.hostname);
    const bare = url.pathname === "/" && !url.search && !url.hash && !url.username && !url.password;
    const plainHost = /^[a-z0-9.-]+$/.test(url.hostname);
    return (secure || development) && bare && plainHost ? url.origin : null;
}

async function originsIn(area) {
    // Firefox refuses to read managed storage when no policy names the extension.
    const stored = await area.get(kAllowedOriginsKey).catch(() => ({}));
    const listed = stored[kAllowedOriginsKey];
    return Array.isArray(listed) ? [...new Set(listed.map(allowableOrigin).filter(Boolean))] : [];
}

export async function readAllowedOrigins() {
    const [fromUser, fromAdministrator] = await Promise.all([originsIn(api.storage.local), originsIn(api.storage.managed)]);
    return { fromUser, fromAdministrator };
}

export async function isAllowedOrigin(origin) {
    const { fromUser, fromAdministrator } = await readAllowedOrigins();
    return fromUser.includes(origin) || fromAdministrator.includes(origin);
}
