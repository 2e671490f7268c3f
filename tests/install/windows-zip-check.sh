#!/usr/bin/env bash
# Checks the Windows ZIP: the files it must hold in its one folder, its two manifests, and its .reg
# files under Wine
# in a throwaway prefix: register-host.reg points each browser's key at a manifest that exists
# once the ZIP is extracted to the folder the .reg files assume, and unregister-host.reg removes
# the keys again. Starts no host.
# Usage: windows-zip-check.sh ZIP
set -euo pipefail
zip=$(realpath -- "$1")
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
config=$repo/extension/native-host.json
checker=$repo/tests/install/check-manifest.py
name=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["name"])' "$config")

work=$(mktemp -d)
prefix=
cleanup() {
    if [[ -n $prefix ]]; then
        WINEPREFIX=$prefix wineserver -k || true
        rm -rf "$prefix"
    fi
    rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

mkdir "$work/zip"
python3 -m zipfile -e "$zip" "$work/zip"
top=$(basename "$zip" .zip)
expected=$(printf "$top/%s\\n" Lumarq.OrvaneSignExtension.exe native-host.json register-host.ps1 \
    register-host.reg unregister-host.reg "$name.chromium.json" "$name.firefox.json" README.txt \
    Inkora.ini.sample | sort)
check "the ZIP holds, in one folder, the host, its manifests, the scripts, readme and sample" \
    diff <(echo "$expected") <(cd "$work/zip" && find . -type f -printf '%P\n' | sort)
stage=$work/zip/$top
# windows_program FILE: an MZ executable with a PE header.
windows_program() {
    python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sys.exit(0 if data[:2] == b"MZ" and data[pe:pe + 4] == b"PE\0\0" else 1)
EOF
}
check "the host is a Windows program" windows_program "$stage/Lumarq.OrvaneSignExtension.exe"
check "the Chrome and Edge manifest" python3 "$checker" --config "$config" --kind chromium \
    --windows --host Lumarq.OrvaneSignExtension.exe "$stage/$name.chromium.json"
check "the Firefox manifest" python3 "$checker" --config "$config" --kind firefox \
    --windows --host Lumarq.OrvaneSignExtension.exe "$stage/$name.firefox.json"

# query KEY: the default value of a current-user key under Wine, empty when there is none.
query() {
    WINEPREFIX=$prefix wine reg query "HKCU\\$1\\$name" /ve 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *(Default) *REG_SZ *//p' || true
}
# registered_manifest_exists KEY KIND: the key names the KIND manifest, found in the prefix's C:.
registered_manifest_exists() {
    local value file
    value=$(query "$1")
    echo "$1 = $value"
    [[ $value == *"\\$name.$2.json" ]] || return 1
    file=$(WINEPREFIX=$prefix winepath -u "$value" 2>/dev/null)
    [[ -f $file ]]
}
unregistered() { [[ -z $(query "$1") ]]; }

prefix=$("$repo/scripts/wine-prefix.sh")
export WINEDEBUG=-all
# The folder the .reg files assume, as their comment names it.
folder=$(sed -n 's/^; Install folder: \(.*\)\r$/\1/p' "$stage/register-host.reg")
check "register-host.reg names its folder" test -n "$folder"
unix_folder=$(WINEPREFIX=$prefix winepath -u "$folder" 2>/dev/null)
mkdir -p "$unix_folder"
cp "$stage/"* "$unix_folder/"
check "register-host.reg imports" \
    env WINEPREFIX="$prefix" wine regedit /S "$(WINEPREFIX=$prefix winepath -w "$unix_folder/register-host.reg")"
check "Chrome's key names the Chrome manifest" \
    registered_manifest_exists 'Software\Google\Chrome\NativeMessagingHosts' chromium
check "Chromium's key names the Chrome manifest" \
    registered_manifest_exists 'Software\Chromium\NativeMessagingHosts' chromium
check "Edge's key names the Chrome manifest" \
    registered_manifest_exists 'Software\Microsoft\Edge\NativeMessagingHosts' chromium
check "Firefox's key names the Firefox manifest" \
    registered_manifest_exists 'Software\Mozilla\NativeMessagingHosts' firefox
check "unregister-host.reg imports" \
    env WINEPREFIX="$prefix" wine regedit /S "$(WINEPREFIX=$prefix winepath -w "$unix_folder/unregister-host.reg")"
for key in 'Software\Google\Chrome' 'Software\Chromium' 'Software\Microsoft\Edge' \
    'Software\Mozilla'; do
    check "$key no longer names the host" unregistered "$key\\NativeMessagingHosts"
done

echo "$passed passed, $failed failed"
((failed == 0))
