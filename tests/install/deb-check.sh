#!/usr/bin/env bash
# Installs the DEB with dpkg, checks what it put in place (the host and tools, the browsers'
# manifests naming the installed host, the udev rule, the per-user installer), then purges it and
# checks that none of its files are left. Needs root; starts no host.
# Usage: deb-check.sh DEB
set -euo pipefail
deb=$(realpath -- "$1")
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
config=$repo/extension/native-host.json
checker=$repo/tests/install/check-manifest.py
name=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["name"])' "$config")
package=$(dpkg-deb -f "$deb" Package)
host=/usr/bin/Lumarq.OrvaneSignExtension
share=/usr/share/$package

# paths_in_package TYPE: the folders (d) or other entries (f) the DEB holds, as absolute paths.
paths_in_package() {
    dpkg-deb -c "$deb" | awk -v type="$1" '(substr($1, 1, 1) == "d") == (type == "d") {
        sub(/^\./, "", $6); sub(/\/$/, "", $6); if ($6 != "") print $6 }'
}

work=$(mktemp -d)
# Folders that were here before: dpkg takes away an empty one that no other package owns (such
# as /etc/opt) when it removes the package, and they are put back.
paths_in_package d | while read -r dir; do
    if [[ -d $dir ]]; then stat -c '%a %U %G %n' -- "$dir"; fi
done >"$work/folders"
installed=false
cleanup() {
    local mode owner group dir
    if $installed; then dpkg -P "$package" >/dev/null || true; fi
    while read -r mode owner group dir; do
        if [[ ! -d $dir ]]; then
            install -d -m "$mode" -o "$owner" -g "$group" -- "$dir"
            echo "put back $dir, which removing the package took away"
        fi
    done <"$work/folders"
    rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/check.sh"
executables() {
    local file
    for file; do [[ -f $file && -x $file ]] || { echo "not an executable file: $file"; return 1; }; done
}
conffiles_are_manifests() {
    local listed
    # shellcheck disable=SC2016 # a dpkg-query field, not a shell expansion
    listed=$(dpkg-query -W -f='${Conffiles}\n' "$package")
    echo "$listed"
    [[ $(grep -c "^ /etc/.*/native-messaging-hosts/$name.json " <<<"$listed") == 3 ]]
}
none_left() {
    local file left=0
    while read -r file; do
        if [[ -e $file || -L $file ]]; then echo "left: $file"; left=1; fi
    done < <(paths_in_package f)
    return "$left"
}

check "dpkg installs the package" dpkg -i "$deb"
installed=true
check "the host, padsim and nmclient in /usr/bin" \
    executables "$host" /usr/bin/padsim /usr/bin/nmclient
check "Chrome, Chromium and Edge manifests name the installed host" \
    python3 "$checker" --config "$config" --kind chromium --host "$host" \
    "/etc/opt/chrome/native-messaging-hosts/$name.json" \
    "/etc/chromium/native-messaging-hosts/$name.json" \
    "/etc/opt/edge/native-messaging-hosts/$name.json"
check "Firefox's manifest names the installed host" \
    python3 "$checker" --config "$config" --kind firefox --host "$host" \
    "/usr/lib/mozilla/native-messaging-hosts/$name.json"
check "the manifests in /etc are configuration files" conffiles_are_manifests
check "the udev rule tags the pad's hidraw nodes for the seat" \
    grep -qxF 'SUBSYSTEM=="hidraw", ATTRS{idVendor}=="1d5b", TAG+="uaccess"' \
    /usr/lib/udev/rules.d/70-lumarq-signpad.rules
check "native-host.json ships unchanged" cmp "$config" "$share/native-host.json"

# The installed per-user installer defaults to the installed host.
home=$work/home
check "the installed install-host.sh registers for one user" \
    env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" "$share/install-host.sh"
check "its manifests name the installed host" \
    python3 "$checker" --config "$config" --kind chromium --host "$host" \
    "$home/.config/google-chrome/NativeMessagingHosts/$name.json"

# The installer leaves the manifests that the package owns as they are, naming the package: a
# manifest it deleted would not come back on reinstalling (dpkg keeps deleted conffiles deleted).
package_manifests_kept() {
    local manifests=(/etc/opt/chrome /etc/chromium /etc/opt/edge /usr/lib/mozilla) before output options
    manifests=("${manifests[@]/%//native-messaging-hosts/$name.json}")
    before=$(md5sum "${manifests[@]}") || return 1
    for options in --system "--system --uninstall"; do
        # shellcheck disable=SC2086 # two options in one word
        output=$("$share/install-host.sh" $options) || return 1
        echo "$output"
        [[ $(grep -c "alone: it belongs to the package $package " <<<"$output") == 4 ]] || return 1
    done
    [[ $(md5sum "${manifests[@]}") == "$before" ]]
}
check "install-host.sh --system, and with --uninstall, keeps the package's manifests" \
    package_manifests_kept

check "dpkg purges the package" dpkg -P "$package"
installed=false
check "none of its files are left" none_left

echo "$passed passed, $failed failed"
((failed == 0))
