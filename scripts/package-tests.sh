#!/usr/bin/env bash
# Packages the builds and checks the packages: the DEB and the RPM made from the Linux build in
# one CPack run are checked with lintian and rpmlint, the DEB installed with dpkg into a root of
# its own (never the machine's), checked and purged again, the RPM installed into an empty root
# beside it and compared; the ZIP and the MSI made from the Windows cross build, signed with a
# throwaway certificate, are checked under Wine: the ZIP's .reg files imported, the MSI installed,
# upgraded and removed in a 32-bit and a 64-bit prefix (its installed host answers CLOSE).
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

echo "=== packages: ZIP and MSI from $win32_build, signed with a throwaway certificate"
scripts/install-missing.sh wixl msitools osslsigncode openssl wine64
certificates=$(mktemp -d)
trap 'rm -rf "$certificates"' EXIT
throwaway_certificate() {
    cd "$certificates"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
        -subj "/CN=Throwaway test CA" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign"
    openssl req -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr -subj "/CN=Throwaway signer"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
        >sign.ext
    openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
        -extfile sign.ext -out sign.pem
    openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem -out sign.p12 \
        -passout pass:throwaway
}
(throwaway_certificate) >/dev/null 2>&1
rm -rf "$win32_build/packages"
WINDOWS_SIGN_PKCS12=$certificates/sign.p12 WINDOWS_SIGN_PASSWORD=throwaway \
    cmake --build "$win32_build" --target package >&2
zip=$(find "$win32_build/packages" -maxdepth 1 -name '*.zip')
msi=$(find "$win32_build/packages" -maxdepth 1 -name '*.msi')
tests/install/windows-zip-check.sh "$zip"
tests/install/windows-msi-check.sh "$msi" "$zip" "$certificates/ca.pem" \
    "$win32_build/CPackConfig.cmake"
