#!/usr/bin/env bash
# Tests of scripts/install-host.sh in temporary folders: the manifest each browser reads, per user
# and system-wide, the Firefox snap's folder, the default host in a checkout and where installed,
# uninstalling back to the folders as they were, and the refusals. A stand-in executable plays the
# host: nothing here starts it.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
installer=$repo/scripts/install-host.sh
config=$repo/extension/native-host.json
checker=$repo/tests/install/check-manifest.py
# The interpreter itself first on PATH: a version manager's shim would cost more than the work.
PATH=$(dirname "$(python3 -c 'import sys; print(sys.executable)')"):$PATH
name=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["name"])' "$config")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
host=$work/bin/host
printf '#!/bin/sh\nexit 0\n' >"$host"
chmod 755 "$host"

source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

# install HOME ARGS...: runs the installer for a user whose home is HOME.
install() {
    local home=$1
    shift
    env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" bash "$installer" "$@"
}
listing() { (cd "$1" && find . -printf '%p %y %m\n' | LC_ALL=C sort); }
same_listing() { diff <(echo "$2") <(listing "$1"); }
user_manifests() {
    echo "$1/.config/google-chrome/NativeMessagingHosts/$name.json chromium"
    echo "$1/.config/chromium/NativeMessagingHosts/$name.json chromium"
    echo "$1/.config/microsoft-edge/NativeMessagingHosts/$name.json chromium"
    echo "$1/.mozilla/native-messaging-hosts/$name.json firefox"
}
system_manifests() {
    echo "$1/etc/opt/chrome/native-messaging-hosts/$name.json chromium"
    echo "$1/etc/chromium/native-messaging-hosts/$name.json chromium"
    echo "$1/etc/opt/edge/native-messaging-hosts/$name.json chromium"
    echo "$1/usr/lib/mozilla/native-messaging-hosts/$name.json firefox"
}
# manifests_name HOST ARGS... < "MANIFEST KIND" lines: each manifest is right and starts HOST.
manifests_name() {
    local expected_host=$1 manifest kind chromium=() firefox=()
    shift
    while read -r manifest kind; do
        if [[ $kind == chromium ]]; then chromium+=("$manifest"); else firefox+=("$manifest"); fi
    done
    if ((${#chromium[@]})); then
        python3 "$checker" --config "$config" --kind chromium --host "$expected_host" "$@" \
            -- "${chromium[@]}" || return 1
    fi
    if ((${#firefox[@]})); then
        python3 "$checker" --config "$config" --kind firefox --host "$expected_host" "$@" \
            -- "${firefox[@]}" || return 1
    fi
}
# refuses TEXT COMMAND...: the command fails and its error names TEXT.
refuses() {
    local text=$1 status=0
    shift
    "$@" 2>"$work/error" || status=$?
    cat "$work/error"
    ((status != 0)) && grep -qF -- "$text" "$work/error"
}

# Per user: every browser's folder, the folders as they were after uninstalling, another host's
# manifest left alone.
home=$work/user
mkdir -p "$home/.config/google-chrome/NativeMessagingHosts"
echo '{}' >"$home/.config/google-chrome/NativeMessagingHosts/org.example.other.json"
before=$(listing "$home")
check "per-user install succeeds" install "$home" --host "$host"
check "per-user manifests: Chrome, Chromium, Edge origins and Firefox extensions" \
    manifests_name "$host" < <(user_manifests "$home")
check "no snap folder without the Firefox snap" test ! -e "$home/snap"
check "installing twice succeeds" install "$home" --host "$host"
check "per-user uninstall succeeds" install "$home" --uninstall
check "uninstall leaves the home as it was" same_listing "$home" "$before"
rm -rf "$home"

# The Firefox snap reads its own folder.
home=$work/snap
mkdir -p "$home/snap/firefox/common"
before=$(listing "$home")
check "install with the Firefox snap present" install "$home" --host "$host"
cp "$work/output" "$work/snap-output"
check "the snap's manifest" manifests_name "$host" \
    <<<"$home/snap/firefox/common/.mozilla/native-messaging-hosts/$name.json firefox"
check "the snap's needs are named" grep -q "desktop portal" "$work/snap-output"
check "uninstall with the snap present" install "$home" --uninstall
check "the snap's folder as it was" same_listing "$home" "$before"
rm -rf "$home"

# Chrome's folders follow XDG_CONFIG_HOME.
home=$work/xdg
check "install with XDG_CONFIG_HOME" \
    env XDG_CONFIG_HOME="$home/config" HOME="$home" bash "$installer" --host "$host"
check "Chrome's manifest below XDG_CONFIG_HOME" \
    test -f "$home/config/google-chrome/NativeMessagingHosts/$name.json"
rm -rf "$home"

# Extension ids given on the command line replace native-host.json's.
home=$work/ids
chrome_a=abcdefghijklmnopabcdefghijklmnop
chrome_b=ponmlkjihgfedcbaponmlkjihgfedcba
check "install with two Chrome ids and another Firefox id" install "$home" --host "$host" \
    --extension-id "$chrome_a" --extension-id="$chrome_b" --firefox-extension-id '{01234567-89ab-cdef-0123-456789abcdef}'
check "both Chrome origins" manifests_name "$host" --id "$chrome_a" --id "$chrome_b" \
    < <(user_manifests "$home" | grep chromium)
check "the Firefox id" manifests_name "$host" --id '{01234567-89ab-cdef-0123-456789abcdef}' \
    < <(user_manifests "$home" | grep firefox)
rm -rf "$home"
mkdir "$home"
empty=$(listing "$home")
check "a malformed Chrome id is refused" refuses "not a Chrome extension id" \
    install "$home" --host "$host" --extension-id ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP
check "a malformed Firefox id is refused" refuses "not a Firefox extension id" \
    install "$home" --host "$host" --firefox-extension-id 'pad extension'
check "nothing written after a refusal" same_listing "$home" "$empty"

# The host: absolute in the manifest, exactly as named, and it must be an executable file.
check "a missing host is refused, naming it" refuses "$work/bin/absent" \
    install "$home" --host "$work/bin/absent"
printf 'text\n' >"$work/bin/plain"
check "a host that is not executable is refused" refuses "$work/bin/plain is not an executable" \
    install "$home" --host "$work/bin/plain"
check "a folder as host is refused" refuses "$work/bin is not an executable" \
    install "$home" --host "$work/bin"
check "nothing written for a refused host" same_listing "$home" "$empty"
odd_dir="$work/a \"quoted\" folder\\with spaces"
mkdir -p "$odd_dir"
cp "$host" "$odd_dir/host"
check "a host path with quotes, a backslash and spaces" install "$home" --host "$odd_dir/host"
check "is written exactly" manifests_name "$odd_dir/host" < <(user_manifests "$home")
relative_install() {
    (cd "$work" && install "$home" --host bin/../bin/host) && manifests_name "$host" < <(user_manifests "$home")
}
check "a relative host path is written absolute and plain" relative_install
rm -rf "$odd_dir"
check "uninstall needs no host" install "$home" --uninstall
check "nothing left after uninstalling" same_listing "$home" "$empty"
rm -rf "$home"

# System-wide, staged below a root folder.
root=$work/root
mkdir "$root"
empty=$(listing "$root")
# Under root's strict umask too, every user's browser must be able to read the manifests.
strict_install() { (umask 077 && install "$@"); }
check "system-wide install below --root" \
    strict_install "$work/nobody" --system --root "$root" --host "$host"
check "system manifests: Chrome, Chromium, Edge origins and Firefox extensions" \
    manifests_name "$host" < <(system_manifests "$root")
check "system folders readable by every user" \
    test "$(stat -c %a "$root/etc/opt/chrome/native-messaging-hosts" \
        "$root/etc/opt/chrome/native-messaging-hosts/$name.json")" = $'755\n644'
check "no home touched by a system-wide install" test ! -e "$work/nobody"
check "system-wide uninstall" install "$work/nobody" --system --root "$root" --uninstall
check "the root as it was" same_listing "$root" "$empty"
check "--root without --system is refused" refuses "--root goes with --system" \
    install "$work/nobody" --root "$root" --host "$host"

# Every package manager present is asked who owns a system manifest, within the root: here dpkg
# owns none and rpm owns Chromium's, which is left as it is and named; the others are written.
owners=$work/package-managers
mkdir "$owners"
printf '#!/bin/sh\nexit 1\n' >"$owners/dpkg-query"
cat >"$owners/rpm" <<EOF
#!/bin/sh
[ "\$1" != --eval ] || { echo /var/lib/rpm; exit 0; }
[ "\$1 \$2" = "--root $root" ] || exit 2
for path; do :; done
[ "\$path" = /etc/chromium/native-messaging-hosts/$name.json ] || exit 1
echo chromium-browser
EOF
chmod 755 "$owners/dpkg-query" "$owners/rpm"
rpm_manifest=$root/etc/chromium/native-messaging-hosts/$name.json
mkdir -p "$(dirname "$rpm_manifest")" "$root/var/lib/rpm"
echo '{}' >"$rpm_manifest"
rpm_owned_left_alone() {
    local output
    output=$(PATH=$owners:$PATH install "$work/nobody" --system --root "$root" --host "$host") ||
        return 1
    echo "$output"
    grep -qF "left $rpm_manifest alone: it belongs to the package chromium-browser" <<<"$output" &&
        [[ $(<"$rpm_manifest") == '{}' ]] &&
        manifests_name "$host" < <(system_manifests "$root" | grep -v /etc/chromium/)
}
check "a manifest that rpm owns is left alone where dpkg is present too" rpm_owned_left_alone
rm -rf "$root"

# The default host: build/bin in a checkout, PREFIX/bin where installed as PREFIX/share/NAME/.
checkout=$work/checkout
mkdir -p "$checkout/scripts" "$checkout/extension"
cp "$installer" "$checkout/scripts/"
cp "$config" "$checkout/extension/"
home=$work/default
check "a checkout without a build refuses, naming build/bin" \
    refuses "$checkout/build/bin/Lumarq.OrvaneSignExtension does not exist" \
    env HOME="$home" bash "$checkout/scripts/install-host.sh"
mkdir -p "$checkout/build/bin"
cp "$host" "$checkout/build/bin/Lumarq.OrvaneSignExtension"
check "a checkout's default host" env -u XDG_CONFIG_HOME HOME="$home" bash "$checkout/scripts/install-host.sh"
check "is its build's host" manifests_name "$checkout/build/bin/Lumarq.OrvaneSignExtension" \
    < <(user_manifests "$home")
rm -rf "$home"
prefix=$work/prefix
mkdir -p "$prefix/share/lumarq-orvanesign" "$prefix/bin"
cp "$installer" "$config" "$prefix/share/lumarq-orvanesign/"
cp "$host" "$prefix/bin/Lumarq.OrvaneSignExtension"
check "an installed copy's default host" \
    env -u XDG_CONFIG_HOME HOME="$home" bash "$prefix/share/lumarq-orvanesign/install-host.sh"
check "is the one in PREFIX/bin" manifests_name "$prefix/bin/Lumarq.OrvaneSignExtension" \
    < <(user_manifests "$home")

echo "$passed passed, $failed failed"
((failed == 0))
