#!/usr/bin/env bash
# Serves the demo site (demo-site/, with the page library as npm packs it) on localhost and opens
# it in a browser with the sample extension, which allows the site on its options page; padsim
# signs on a simulated pad behind the TCP listener (kind 7) whenever the page opens the pad. On a
# desktop (DISPLAY or WAYLAND_DISPLAY set) the browser window stays until it is closed; without
# one the browser runs headless, signs once, and the path of a screenshot is printed.
# DEMO_BROWSER=firefox uses Firefox ESR instead of Chromium. Installs and builds as
# demo-browser.sh does, which runs it.
DEMO_PROGRAM=tests/browser/demo-site.mjs exec "$(dirname "$0")/demo-browser.sh"
