#!/usr/bin/env bash
# Packages the builds and checks the packages: the DEB and the RPM made from the Linux build in
# one CPack run are checked with lintian and rpmlint, the DEB installed with dpkg, checked and
# purged again, the RPM installed into an empty root beside it and compared; the ZIP made from the
# Windows cross build is checked and its .reg files imported under Wine in a throwaway prefix.
# Starts no host.
# Usage: scripts/package-tests.sh [LINUX_BUILD_DIR [WIN32_BUILD_DIR]]   (build, build-win32)
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=${1:-build}
win32_build=${2:-build-win32}
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
scripts/install-missing.sh lintian rpm rpmlint

# package DIR GENERATORS: makes the packages in DIR/packages in one CPack run and prints the
# path of each.
package() {
    rm -rf "$1/packages"
    (cd "$1" && cpack -G "$2") >&2
    find "$1/packages" -maxdepth 1 -type f
}

echo "=== packages: DEB and RPM from $linux_build"
linux_packages=$(package "$linux_build" "DEB;RPM")
"${sudo_cmd[@]}" tests/install/deb-check.sh "$(grep '\.deb$' <<<"$linux_packages")" \
    "$(grep '\.rpm$' <<<"$linux_packages")"

echo "=== packages: ZIP from $win32_build"
zip=$(package "$win32_build" ZIP)
tests/install/windows-zip-check.sh "$zip"
