#!/usr/bin/env bash
# Packages the builds and checks the packages: the DEB made from the Linux build is installed with
# dpkg, checked and purged again; the ZIP made from the Windows cross build is checked and its
# .reg files imported under Wine in a throwaway prefix. Starts no host.
# Usage: scripts/package-tests.sh [LINUX_BUILD_DIR [WIN32_BUILD_DIR]]   (build, build-win32)
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=${1:-build}
win32_build=${2:-build-win32}
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# package DIR GENERATOR: makes the package in DIR/packages and prints its path.
package() {
    rm -rf "$1/packages"
    (cd "$1" && cpack -G "$2") >&2
    find "$1/packages" -maxdepth 1 -type f -name "*.${2,,}"
}

echo "=== packages: DEB from $linux_build"
deb=$(package "$linux_build" DEB)
"${sudo_cmd[@]}" tests/install/deb-check.sh "$deb"

echo "=== packages: ZIP from $win32_build"
zip=$(package "$win32_build" ZIP)
tests/install/windows-zip-check.sh "$zip"
