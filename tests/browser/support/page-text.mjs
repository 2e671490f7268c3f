// Reading a page's text as a person would, waiting for it where it changes.
import { waitFor } from "./wait.mjs";

export const text = (page, id) => page.$eval(`#${id}`, (element) => element.textContent);

export function waitForText(page, id, wanted, timeoutMs = 15_000) {
    return waitFor(async () => wanted.test(await text(page, id)), { timeoutMs, what: `#${id} to read ${wanted}` });
}
