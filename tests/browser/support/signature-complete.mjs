// Waits until a page's signature is complete: once its point count (#point-count, a number first)
// has rested for a second. Resolves with the count.
import { waitFor } from "./wait.mjs";

export async function signatureComplete(page, timeoutMs) {
    const pointCount = async () => parseInt(await page.$eval("#point-count", (e) => e.textContent), 10);
    let last = -1, since = Date.now();
    await waitFor(async () => {
        const count = await pointCount();
        if (count !== last) {
            [last, since] = [count, Date.now()];
        }
        return count > 0 && Date.now() - since > 1000;
    }, { timeoutMs, intervalMs: 100, what: "the signature" });
    return last;
}
