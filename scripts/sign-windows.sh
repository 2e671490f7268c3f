#!/usr/bin/env bash
# sign-windows.sh [--pkcs12 FILE] [--timestamp URL] FILE...: signs Windows programs and MSI
# packages in place with Authenticode (osslsigncode, SHA-256), with the certificate and private key
# of a PKCS#12 file. The password comes from the environment, never from the command line:
#   WINDOWS_SIGN_PKCS12         the PKCS#12 file (--pkcs12 overrides it)
#   WINDOWS_SIGN_PASSWORD       its password, or WINDOWS_SIGN_PASSWORD_FILE, a file holding it
#   WINDOWS_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (--timestamp overrides it): the
#                               signature then stays valid after the certificate expires
# `cmake --build build-win32 --target package` calls it for the .exe and the MSI when
# WINDOWS_SIGN_PKCS12 is set.
set -euo pipefail

pkcs12=${WINDOWS_SIGN_PKCS12:-}
timestamp=${WINDOWS_SIGN_TIMESTAMP_URL:-}
while (($#)); do
    case $1 in
        --pkcs12) pkcs12=$2; shift 2 ;;
        --timestamp) timestamp=$2; shift 2 ;;
        --) shift; break ;;
        -*) echo "sign-windows.sh: unknown option $1" >&2; exit 2 ;;
        *) break ;;
    esac
done
if [[ -z $pkcs12 || $# -eq 0 ]]; then
    echo "usage: WINDOWS_SIGN_PASSWORD=... sign-windows.sh --pkcs12 FILE [--timestamp URL] FILE..." >&2
    exit 2
fi
[[ -r $pkcs12 ]] || { echo "sign-windows.sh: cannot read $pkcs12" >&2; exit 1; }
command -v osslsigncode >/dev/null || {
    echo "sign-windows.sh: osslsigncode is missing (Debian: apt-get install osslsigncode)" >&2
    exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
password_file=${WINDOWS_SIGN_PASSWORD_FILE:-}
if [[ -z $password_file ]]; then
    password_file=$work/password
    (umask 077 && printf '%s' "${WINDOWS_SIGN_PASSWORD:-}" >"$password_file")
fi
options=(-pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n "Lumarq Orvane Sign")
[[ -z $timestamp ]] || options+=(-ts "$timestamp")

for file in "$@"; do
    rm -f "$work/signed"
    osslsigncode sign "${options[@]}" -in "$file" -out "$work/signed" >/dev/null
    cat "$work/signed" >"$file"
    echo "signed $file"
done
