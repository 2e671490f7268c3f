#!/usr/bin/env bash
# Installs what the sample extension's browser tests and browser demo need, where missing:
# Debian's chromium and firefox-esr, jq (lays out the extension), Node.js, and puppeteer-core from
# npm into tests/browser/node_modules. puppeteer-core drives the browsers the system has and
# downloads none.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(chromium firefox-esr jq)
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -q
    # The browsers' recommends (printing, zeroconf and media daemons, video drivers) are not
    # needed to render a page and would double the install.
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
fi

(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
