// Waiting for a condition instead of for a fixed time.
export async function waitFor(condition, { timeoutMs = 10_000, intervalMs = 25, what = "condition" } = {}) {
    const deadline = Date.now() + timeoutMs;
    for (;;) {
        const value = await condition();
        if (value) {
            return value;
        }
        if (Date.now() > deadline) {
            throw new Error(`timed out after ${timeoutMs} ms waiting for ${what}`);
        }
        await new Promise((resolve) => setTimeout(resolve, intervalMs));
    }
}
