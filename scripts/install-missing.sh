#!/usr/bin/env bash
# install-missing.sh [--no-install-recommends] PACKAGE...: installs with apt-get the Debian
# packages that are not installed yet (after apt-get update), adding the i386 architecture first
# when a package asks for it (name:i386). Does nothing when all are there.
set -euo pipefail

options=()
if [ "${1:-}" = --no-install-recommends ]; then
    options+=("$1")
    shift
fi
missing=()
for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
((${#missing[@]})) || exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${options[@]}" "${missing[@]}"
