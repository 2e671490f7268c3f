#!/usr/bin/env bash
# Installs what the sample extension's browser tests and browser demo need, where missing:
# Debian's chromium and firefox-esr, jq (lays out the extension), Node.js, and from npm into
# tests/browser/node_modules puppeteer-core, which drives the browsers the system has and
# downloads none, and Mozilla's web-ext, the extension's linter; the page library's own dependency
# (jose, for opening sealed signatures) into page-library/node_modules, and Debian's
# python3-jwcrypto, which the tests open sealed signatures with as a second implementation.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(chromium firefox-esr jq python3-jwcrypto openssl)
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)
# The browsers' recommends (printing, zeroconf and media daemons, video drivers) are not needed
# to render a page and would double the install.
scripts/install-missing.sh --no-install-recommends "${packages[@]}"

(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
(cd page-library && npm ci --no-audit --no-fund --loglevel=error)
