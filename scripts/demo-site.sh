#!/usr/bin/env bash
# Serves the demo site (demo-site/, with the page library as npm packs it) on localhost and opens
# it in a browser with the sample extension, which allows the site on its options page; padsim
# signs on a simulated pad behind the TCP listener (kind 7) whenever the page opens the pad. On a
# desktop (DISPLAY or WAYLAND_DISPLAY set) the browser window stays until it is closed; without
# one the browser runs headless, signs once, and the path of a screenshot is printed.
# DEMO_BROWSER=firefox uses Firefox ESR instead of Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "Installing what is missing, building the host and padsim..."
scripts/browser-deps.sh >/dev/null
scripts/build-deps.sh
scripts/configure.sh build >/dev/null
cmake --build build --target Lumarq.OrvaneSignExtension padsim >/dev/null

visible=0
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && visible=1
HOST_BUILD_DIR=$PWD/build DEMO_VISIBLE=$visible exec node tests/browser/demo-site.mjs
