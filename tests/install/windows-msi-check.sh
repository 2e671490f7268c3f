#!/usr/bin/env bash
# Checks the machine-wide MSI: its signature, the .exe's and that of its custom actions' DLL,
# chained to the throwaway CA; then, under Wine in a fresh 32-bit prefix and a fresh 64-bit one:
# a malformed extension id failing the installation with a log line that names it; msiexec /i
# /qn; the files in the program folder; every browser's HKLM key, in the 32-bit view they read,
# naming a manifest that names the installed .exe and allows the extensions of
# CHROME_EXTENSION_IDS and FIREFOX_EXTENSION_IDS (a site's in the 32-bit prefix, the defaults in
# the 64-bit one); the installed programs entry's help link, install location and contact; the
# installed .exe's goodbye to CLOSE; Inkora.ini written from TABLET_SETTINGS only where there is
# none; the same MSI again restoring a deleted .exe; a newer version replacing this one (one
# product, the new file version); the site's extension ids kept through both; msiexec /x removing
# every file and key and the company folder, and leaving Inkora.ini byte for byte.
# Usage: windows-msi-check.sh MSI ZIP CA_CERTIFICATE CPACK_CONFIG
set -euo pipefail
msi=$(realpath -- "$1")
zip=$(realpath -- "$2")
ca=$(realpath -- "$3")
cpack_config=$(realpath -- "$4")
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
config=$repo/extension/native-host.json
name=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["name"])' "$config")
exe=Lumarq.OrvaneSignExtension.exe

work=$(mktemp -d)
prefix=
stop_prefix() {
    if [[ -n $prefix ]]; then
        WINEPREFIX=$prefix wineserver -k || true
        rm -rf "$prefix"
        prefix=
    fi
}
trap 'stop_prefix; rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"
export WINEDEBUG=-all

# file_version FILE: the file version of a Windows program's version resource, a.b.c.d.
file_version() {
    python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.index(struct.pack("<I", 0xFEEF04BD))
ms, ls = struct.unpack_from("<II", data, at + 8)
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")
PY
}
# set_file_version FILE A B C: the fixed file and product versions set to A.B.C.0.
set_file_version() {
    python3 - "$@" <<'PY'
import struct, sys
path, a, b, c = sys.argv[1], *map(int, sys.argv[2:])
data = bytearray(open(path, "rb").read())
at = data.index(struct.pack("<I", 0xFEEF04BD))
struct.pack_into("<IIII", data, at + 8, a << 16 | b, c << 16, a << 16 | b, c << 16)
open(path, "wb").write(data)
PY
}

echo "--- signatures"
mkdir "$work/zip"
python3 -m zipfile -e "$zip" "$work/zip"
stage=$(find "$work/zip" -mindepth 1 -maxdepth 1 -type d)
check "the MSI's signature chains to the test CA" osslsigncode verify -CAfile "$ca" -in "$msi"
check "the .exe's signature chains to the test CA" \
    osslsigncode verify -CAfile "$ca" -in "$stage/$exe"
cp "$stage/$exe" "$work/changed.exe"
printf 'X' | dd of="$work/changed.exe" bs=1 seek=4096 conv=notrunc status=none
check "a changed copy of the .exe fails the check" \
    bash -c '! osslsigncode verify -CAfile "$1" -in "$2"' _ "$ca" "$work/changed.exe"
msiinfo extract "$msi" Binary.InstallerActions >"$work/InstallerActions.dll"
check "the custom actions' DLL in the MSI is signed by the test CA" \
    osslsigncode verify -CAfile "$ca" -in "$work/InstallerActions.dll"

echo "--- property table"
msiinfo export "$msi" Property | tr -d '\r' >"$work/properties"
# property NAME: its value in the package's Property table.
property() { sed -n "s/^$1\t//p" "$work/properties"; }
# secure_list_holds NAME...: SecureCustomProperties lists every NAME.
secure_list_holds() {
    local list property_name
    list=";$(property SecureCustomProperties);"
    for property_name in "$@"; do
        [[ $list == *";$property_name;"* ]] || { echo "$property_name is not in '$list'"; return 1; }
    done
}
check "the secure properties keep wixl's upgrade properties and add the site's three" \
    secure_list_holds WIX_UPGRADE_DETECTED WIX_DOWNGRADE_DETECTED TABLET_SETTINGS \
    CHROME_EXTENSION_IDS FIREFOX_EXTENSION_IDS
check "AdminUser tells a real administrator (MSIUSEREALADMINDETECTION)" \
    test "$(property MSIUSEREALADMINDETECTION)" = 1

# A newer version, from the ZIP's files with the .exe's version raised.
version=$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')
IFS=. read -r major minor patch <<<"$version"
newer=$major.$minor.$((patch + 1))
set_file_version "$stage/$exe" "$major" "$minor" $((patch + 1))
cmake -DCPACK_CONFIG="$cpack_config" -DSTAGE="$stage" -DVERSION="$newer" \
    -DOUTPUT="$work/newer.msi" -P "$repo/packaging/windows/MsiPackage.cmake" >/dev/null

wine_run() { WINEPREFIX=$prefix wine "$@" 2>/dev/null; }
unix_path() { WINEPREFIX=$prefix winepath -u "$1" 2>/dev/null; }
install() { wine_run msiexec /i "$(WINEPREFIX=$prefix winepath -w "$1" 2>/dev/null)" /qn "${@:2}"; }
# registered KEY: the default value of HKLM\SOFTWARE\KEY\NativeMessagingHosts\NAME, 32-bit view.
registered() {
    wine_run reg query "HKLM\\SOFTWARE\\$1\\NativeMessagingHosts\\$name" /ve /reg:32 | tr -d '\r' |
        sed -n 's/^ *(Default) *REG_SZ *//p' || true
}
# registered_manifest KEY KIND: the key names the KIND manifest in the program folder, which names
# the installed .exe.
registered_manifest() {
    local value
    value=$(registered "$1")
    [[ $value == "$folder\\$name.$2.json" ]] || { echo "$1 = '$value'"; return 1; }
    local ids=("${chrome_ids[@]}")
    [[ $2 == chromium ]] || ids=("${firefox_ids[@]}")
    python3 "$repo/tests/install/check-manifest.py" --config "$config" --kind "$2" --windows \
        --host "$folder\\$exe" "${ids[@]/#/--id=}" "$(unix_path "$value")"
}
# browsers_registered STEP: every browser's key names its manifest, which allows the extensions.
browsers_registered() {
    for key in 'Google\Chrome:chromium' 'Chromium:chromium' 'Microsoft\Edge:chromium' \
        'Mozilla:firefox'; do
        check "$arch: $1: ${key%:*} is registered" registered_manifest "${key%:*}" "${key#*:}"
    done
}
# installed_programs_entry: the product's entry names its help link, folder and contact.
installed_programs_entry() {
    local entry
    entry=$(for view in "${views[@]}"; do
        wine_run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s \
            /reg:$view || true
    done | tr -d '\r')
    grep -q "HelpLink *REG_SZ *https://" <<<"$entry" &&
        grep -qF "InstallLocation    REG_SZ    $folder\\" <<<"$entry" &&
        grep -q "Contact *REG_SZ *.*@" <<<"$entry" || { echo "$entry"; return 1; }
}
# refused_with ID_PROPERTY TEXT: an installation with the property fails, naming TEXT in its log,
# and installs nothing.
refused_with() {
    local log=$prefix/drive_c/install.log
    ! install "$msi" "$1" '/l*v' 'C:\install.log' &&
        tr -d '\0\r' <"$log" | grep -F -- "$2" &&
        test "$(products)" -eq 0
}
# says_goodbye: the installed .exe answers CLOSE with its goodbye, exactly, and exit code 0.
says_goodbye() {
    printf '\x13\0\0\0{"command":"CLOSE"}' | wine_run "$folder\\$exe" >"$work/reply"
    cmp "$work/reply" <(printf '\x15\0\0\0{"text":"EXITING..."}')
}
# products: how many entries in the installed programs name the product (the views of the prefix).
products() {
    for view in "${views[@]}"; do
        wine_run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s \
            /reg:$view || true
    done | tr -d '\r' | grep -c 'DisplayName *REG_SZ *Lumarq Orvane Sign$' || true
}

# in_prefix ARCH FOLDER [SITE_SETTINGS [CHROME_IDS FIREFOX_IDS]]: the whole sequence in a fresh
# prefix; SITE_SETTINGS is an Inkora.ini that the site had before installing, the ids (';'
# between them) the extensions it allows instead of the sample's.
in_prefix() {
    arch=$1 folder=$2
    local site=${3:-} id_properties=()
    IFS=';' read -r -a chrome_ids <<<"${4:-}"
    IFS=';' read -r -a firefox_ids <<<"${5:-}"
    [[ -z ${4:-} ]] || id_properties=("CHROME_EXTENSION_IDS=$4" "FIREFOX_EXTENSION_IDS=$5")
    views=(32)
    [[ $arch == win32 ]] || views+=(64)
    echo "--- $arch"
    prefix=$(WINEARCH=$arch "$repo/scripts/wine-prefix.sh")
    local settings=$prefix/drive_c/windows/Inkora.ini
    [[ -z $site ]] || printf '%s' "$site" >"$settings"
    check "$arch: a malformed Chrome extension id fails the installation, named in its log" \
        refused_with CHROME_EXTENSION_IDS=abc "not a Chrome extension id (32 letters a to p): 'abc'"
    check "$arch: a Chrome extension id with letters beyond p fails the installation" \
        refused_with CHROME_EXTENSION_IDS=abcdefghijklmnopqrstuvwxyzabcdef \
        "not a Chrome extension id (32 letters a to p): 'abcdefghijklmnopqrstuvwxyzabcdef'"
    check "$arch: msiexec /i /qn" install "$msi" 'TABLET_SETTINGS=TabletType=7; SocketPort=3100' \
        "${id_properties[@]}" '/l*v' 'C:\install.log'
    check "$arch: ChooseInstallValues took them from an administrator (Wine: every run)" \
        grep -q "ChooseInstallValues: AdminUser 1" <(tr -d '\0\r' <"$prefix/drive_c/install.log")
    local files
    files=$(unix_path "$folder")
    check "$arch: the program folder holds the host, its manifests and the sample settings" \
        diff <(printf '%s\n' "$exe" Inkora.ini.sample "$name.chromium.json" "$name.firefox.json" |
            LC_ALL=C sort) <(ls "$files" | LC_ALL=C sort)
    browsers_registered installed
    check "$arch: the installed programs entry names a help link, the folder and a contact" \
        installed_programs_entry
    check "$arch: the installed host says goodbye to CLOSE" says_goodbye
    if [[ -z $site ]]; then
        check "$arch: TABLET_SETTINGS wrote Inkora.ini" \
            cmp "$settings" <(printf '[Tablet]\r\nTabletType=7\r\nSocketPort=3100\r\n')
    else
        check "$arch: the site's Inkora.ini is left as it was" cmp "$settings" <(printf '%s' "$site")
    fi
    cp "$settings" "$work/settings"
    rm "$files/$exe"
    check "$arch: the same MSI again restores a deleted .exe" install "$msi"
    check "$arch: ... and it is there" test -f "$files/$exe"
    browsers_registered repaired
    check "$arch: the newer version installs" install "$work/newer.msi"
    check "$arch: one product is installed" test "$(products)" -eq 1
    check "$arch: the .exe has the newer version" test "$(file_version "$files/$exe")" = "$newer.0"
    browsers_registered upgraded
    check "$arch: msiexec /x /qn" wine_run msiexec /x "$(WINEPREFIX=$prefix winepath -w \
        "$work/newer.msi" 2>/dev/null)" /qn
    check "$arch: the program folder and the empty company folder are gone" \
        test ! -e "$(dirname "$files")"
    for key in 'Google\Chrome' Chromium 'Microsoft\Edge' Mozilla; do
        check "$arch: $key no longer names the host" test -z "$(registered "$key")"
    done
    check "$arch: no product is installed" test "$(products)" -eq 0
    check "$arch: Inkora.ini is left byte for byte" cmp "$settings" "$work/settings"
    stop_prefix
}

in_prefix win32 'C:\Program Files\Lumarq\OrvaneSign' '' \
    'abcdefghijklmnopabcdefghijklmnop;ponmlkjihgfedcbaponmlkjihgfedcba' 'pad@site.example'
in_prefix win64 'C:\Program Files (x86)\Lumarq\OrvaneSign' $'[Tablet]\r\nTabletType=6\r\n'

echo "$passed passed, $failed failed"
((failed == 0))
