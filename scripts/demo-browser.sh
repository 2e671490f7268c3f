#!/usr/bin/env bash
# Shows the sample extension's signing pad in a browser while padsim signs on a simulated pad
# behind the TCP listener (kind 7). On a desktop (DISPLAY or WAYLAND_DISPLAY set) the browser
# window opens and the signature appears as padsim signs it, over and over, until the window is
# closed; without one the browser runs headless, signs once, and the paths of a screenshot and the
# saved SVG are printed. DEMO_BROWSER=firefox uses Firefox ESR instead of Chromium.
# DEMO_PROGRAM names another demo to run with the same set-up (demo-site.sh's).
set -euo pipefail
cd "$(dirname "$0")/.."

echo "Installing what is missing, building the host and padsim..."
scripts/browser-deps.sh >/dev/null
scripts/build-deps.sh
scripts/configure.sh build >/dev/null
# CMake's own progress: Ninja's one moving line on a terminal, or Makefiles' percentages.
cmake --build build --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" \
    --target Lumarq.OrvaneSignExtension padsim

visible=0
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && visible=1
HOST_BUILD_DIR=$PWD/build DEMO_VISIBLE=$visible exec node "${DEMO_PROGRAM:-tests/browser/demo.mjs}"
