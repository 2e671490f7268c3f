// Chromium and Firefox as the tests start them: headless, a fresh profile holding the host's
// manifest, the sample extension installed, downloads going to a folder of the test's own.
import fs from "node:fs";
import path from "node:path";
import puppeteer from "puppeteer-core";
import { browserWithPolicy } from "./browser-policies.mjs";
import { waitFor } from "./wait.mjs";

export const identities = JSON.parse(
    fs.readFileSync(new URL("../../../extension/native-host.json", import.meta.url), "utf8"));

const kViewport = { width: 1000, height: 860 };

function writeHostManifest(dir, wrapper, allowed) {
    fs.mkdirSync(dir, { recursive: true });
    const manifest = { name: identities.name, description: identities.description, path: wrapper, type: "stdio", ...allowed };
    const file = path.join(dir, `${identities.name}.json`);
    fs.writeFileSync(file, JSON.stringify(manifest, null, 2));
    return file;
}

// The browser's program; with an extension policy, a program that starts it with the policy in force.
function browserProgram(name, binary, workDir, policy) {
    const id = name === "chromium" ? identities.chromeExtensionId : identities.firefoxExtensionId;
    return policy ? browserWithPolicy(name, binary, workDir, id, policy) : binary;
}

async function launchChromium({ workDir, extensionDir, hostWrapper, downloadDir, headless = true, policy }) {
    const profile = path.join(workDir, "chromium-profile");
    const hostManifest = writeHostManifest(path.join(profile, "NativeMessagingHosts"), hostWrapper, {
        allowed_origins: [`chrome-extension://${identities.chromeExtensionId}/`],
    });
    const browser = await puppeteer.launch({
        executablePath: browserProgram("chromium", process.env.CHROMIUM_BINARY ?? "/usr/bin/chromium", workDir, policy),
        headless,
        userDataDir: profile,
        enableExtensions: true,
        defaultViewport: headless ? kViewport : null,
        downloadBehavior: { policy: "allow", downloadPath: downloadDir },
        // Chromium's sandbox cannot start as root.
        args: [...(process.getuid() === 0 ? ["--no-sandbox"] : []), "--disable-gpu", "--no-first-run", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", `--load-extension=${extensionDir}`,
               `--disable-extensions-except=${extensionDir}`],
    });
    return { browser, hostManifest };
}

async function launchFirefox({ workDir, extensionDir, hostWrapper, downloadDir, headless = true, policy }) {
    // Firefox looks for host manifests under $HOME: a home of the test's own.
    const home = path.join(workDir, "firefox-home");
    const hostManifest = writeHostManifest(path.join(home, ".mozilla/native-messaging-hosts"), hostWrapper, {
        allowed_extensions: [identities.firefoxExtensionId],
    });
    const browser = await puppeteer.launch({
        browser: "firefox",
        executablePath: browserProgram("firefox", process.env.FIREFOX_BINARY ?? "/usr/bin/firefox-esr", workDir, policy),
        headless,
        defaultViewport: headless ? kViewport : null,
        env: { ...process.env, HOME: home },
        extraPrefsFirefox: {
            // Downloads from the default context go by the profile's settings.
            "browser.download.dir": downloadDir,
            "browser.download.folderList": 2,
            "browser.download.useDownloadDir": true,
            "app.normandy.enabled": false,
            "messaging-system.rsexperimentloader.enabled": false,
            "network.connectivity-service.enabled": false,
            "services.settings.server": "http://127.0.0.1:9/",
        },
    });
    // A temporary add-on: no signature needed.
    await browser.installExtension(extensionDir);
    return { browser, hostManifest };
}

export const launchers = { chromium: launchChromium, firefox: launchFirefox };

// A browser with the extension, and the pages of its signing pad. Firefox lets no automation
// open an extension's page and shows such pages to it as about:blank, so pages are found by
// asking each for its address, and new ones are opened by the extension's own page, which the
// extension opens on install.
export class PadBrowser {
    static async launch(name, options) {
        const { browser, hostManifest } = await launchers[name](options);
        const padBrowser = new PadBrowser(name, browser, hostManifest);
        padBrowser.viewport = options.headless === false ? null : kViewport;
        padBrowser.launcher = await padBrowser.findPage((url) => url.pathname === "/pad.html");
        // The page the extension opened on install, which the demo shows, gets the same size.
        if (padBrowser.viewport) {
            await padBrowser.launcher.setViewport(padBrowser.viewport);
        }
        return padBrowser;
    }

    constructor(name, browser, hostManifest) {
        this.name = name;
        this.browser = browser;
        this.hostManifest = hostManifest;
        this.openedPages = 0;
    }

    async findPage(matches) {
        return waitFor(async () => {
            for (const page of await this.browser.pages()) {
                const href = await page.evaluate(() => location.href).catch(() => "");
                if (href && matches(new URL(href))) {
                    return page;
                }
            }
            return null;
        }, { timeoutMs: 15_000, intervalMs: 100, what: "the signing pad page" });
    }

    // A new signing pad page; query is added to its address.
    openPadPage(query = "") {
        return this.openExtensionPage("pad.html", query);
    }

    // A new tab with one of the extension's pages; query is added to its address.
    async openExtensionPage(file, query = "") {
        const number = String(++this.openedPages);
        await this.launcher.evaluate((file, search) => {
            const api = globalThis.browser ?? globalThis.chrome;
            return api.tabs.create({ url: `${location.origin}/${file}?${search}` });
        }, file, [`page=${number}`, query].filter(Boolean).join("&"));
        const page = await this.findPage((url) => url.searchParams.get("page") === number);
        // Firefox gives a page it did not open through automation the window's size.
        if (this.viewport) {
            await page.setViewport(this.viewport);
        }
        await page.bringToFront();
        return page;
    }

    close() {
        return this.browser.close();
    }
}
