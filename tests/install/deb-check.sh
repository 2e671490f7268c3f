#!/usr/bin/env bash
# Checks the DEB with lintian, installs it with dpkg into a root of its own (a dpkg database in a
# temporary folder: the machine's own packages stay as they are, an installed copy of this one
# included), checks what it put in place (the host and tools, the browsers' manifests naming the
# installed host, the udev rule, the per-user installer, the sample settings file), then purges it
# and checks that none of its files are left. Given the RPM of the same build too, checks that rpm
# installs the same files into an empty root and that rpmlint accepts it. Needs root (dpkg gives
# the files their owners); starts no host.
# Usage: deb-check.sh DEB [RPM]
set -euo pipefail
deb=$(realpath -- "$1")
rpm=${2:+$(realpath -- "$2")}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
config=$repo/extension/native-host.json
checker=$repo/tests/install/check-manifest.py
name=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["name"])' "$config")
package=$(dpkg-deb -f "$deb" Package)
host=/usr/bin/Lumarq.OrvaneSignExtension
share=/usr/share/$package
doc=/usr/share/doc/$package
# What only the DEB holds: Debian's changelog and lintian's overrides.
debian_only="^($doc/changelog\.Debian\.gz|/usr/share/lintian/.*)\$"

# paths_in_package TYPE: the folders (d) or other entries (f) the DEB holds, as absolute paths.
paths_in_package() {
    dpkg-deb -c "$deb" | awk -v type="$1" '(substr($1, 1, 1) == "d") == (type == "d") {
        sub(/^\./, "", $6); sub(/\/$/, "", $6); if ($6 != "") print $6 }'
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The root the DEB is installed into: an empty dpkg database and nothing else. The package's
# dependencies are the machine's, outside the root; its script runs outside the root as well,
# with DPKG_ROOT naming the root (there is no shell inside it).
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg_in_root() {
    dpkg --root="$root" --force-depends --force-script-chrootless "$@"
}
machine_state() {
    # shellcheck disable=SC2016 # a dpkg-query field, not a shell expansion
    dpkg-query -W -f='${db:Status-Abbrev} ${Version}\n' "$package" 2>&1 || true
}
machine_before=$(machine_state)

source "$(dirname "${BASH_SOURCE[0]}")/check.sh"
executables() {
    local file
    for file; do [[ -f $file && -x $file ]] || { echo "not an executable file: $file"; return 1; }; done
}
lintian_accepts() {
    local report
    report=$(lintian --fail-on error,warning --display-info "$deb" 2>&1) ||
        { echo "$report"; return 1; }
    echo "$report"
    ! grep -q 'hardening-' <<<"$report"
}
tools_run() {
    "$root/usr/bin/lumarq-padsim" --help && "$root/usr/bin/lumarq-nmclient" --help
}
conffiles_are_manifests() {
    local listed
    # shellcheck disable=SC2016 # a dpkg-query field, not a shell expansion
    listed=$(dpkg-query --root="$root" -W -f='${Conffiles}\n' "$package")
    echo "$listed"
    [[ $(grep -c "^ /etc/.*/native-messaging-hosts/$name.json " <<<"$listed") == 3 ]]
}
none_left() {
    local file left=0
    while read -r file; do
        if [[ -e $root$file || -L $root$file ]]; then echo "left: $file"; left=1; fi
    done < <(paths_in_package f)
    return "$left"
}

check "lintian finds no errors, no warnings and no hardening left out" lintian_accepts
check "dpkg installs the package into a root of its own" dpkg_in_root -i "$deb"
check "the host, lumarq-padsim and lumarq-nmclient in /usr/bin" \
    executables "$root$host" "$root/usr/bin/lumarq-padsim" "$root/usr/bin/lumarq-nmclient"
check "the tools run under their installed names" tools_run
check "Chrome, Chromium and Edge manifests name the installed host" \
    python3 "$checker" --config "$config" --root "$root" --kind chromium --host "$host" \
    "$root/etc/opt/chrome/native-messaging-hosts/$name.json" \
    "$root/etc/chromium/native-messaging-hosts/$name.json" \
    "$root/etc/opt/edge/native-messaging-hosts/$name.json"
check "Firefox's manifest names the installed host" \
    python3 "$checker" --config "$config" --root "$root" --kind firefox --host "$host" \
    "$root/usr/lib/mozilla/native-messaging-hosts/$name.json"
check "the manifests in /etc are configuration files" conffiles_are_manifests
check "the udev rule tags the pad's hidraw nodes for the seat" \
    grep -qxF 'SUBSYSTEM=="hidraw", ATTRS{idVendor}=="1d5b", TAG+="uaccess"' \
    "$root/usr/lib/udev/rules.d/70-lumarq-signpad.rules"
check "native-host.json ships unchanged" cmp "$config" "$root$share/native-host.json"
check "the sample settings file ships unchanged" cmp "$repo/packaging/Inkora.ini" "$root$doc/Inkora.ini"

# The installed per-user installer defaults to the installed host.
home=$work/home
check "the installed install-host.sh registers for one user" \
    env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" "$root$share/install-host.sh"
check "its manifests name the installed host" \
    python3 "$checker" --config "$config" --kind chromium --host "$root$host" \
    "$home/.config/google-chrome/NativeMessagingHosts/$name.json"

# The RPM, installed beside the DEB into an empty root without its script (there is no shell in
# the root): the same files with the same bytes as the DEB's, the manifests in /etc configuration
# files, and the DEB's script after installing.
rpm_root=$work/rpm-root
rpm_db=/var/lib/rpm
same_files_as_deb() {
    local file different=0
    diff <(paths_in_package f | grep -Ev "$debian_only" | sort) \
        <(find "$rpm_root" -path "$rpm_root$rpm_db" -prune -o ! -type d -printf '/%P\n' | sort) ||
        return 1
    while read -r file; do
        cmp -- "$root$file" "$rpm_root$file" || different=1
    done < <(paths_in_package f | grep -Ev "$debian_only")
    return "$different"
}
rpm_like_deb() {
    # shellcheck disable=SC2016 # a dpkg-query field, not a shell expansion
    diff <(rpm -qpc "$rpm" | sort) \
        <(dpkg-query --root="$root" -W -f='${Conffiles}\n' "$package" | awk 'NF {print $1}' | sort) &&
        diff -B <(rpm -qp --qf '%{POSTIN}\n' "$rpm") <(dpkg-deb -I "$deb" postinst)
}
rpmlint_accepts() {
    local report
    report=$(rpmlint -c "$repo/packaging/linux/rpmlint.toml" "$rpm") ||
        { echo "$report"; return 1; }
    echo "$report"
    grep -q ' 0 errors, 0 warnings' <<<"$report"
}
if [[ -n $rpm ]]; then
    check "rpm installs the RPM into an empty root" \
        rpm --root "$rpm_root" --dbpath "$rpm_db" --nodeps --noscripts -i "$rpm"
    check "the RPM installs the DEB's files, byte for byte" same_files_as_deb
    check "the RPM's configuration files and script after installing are the DEB's" rpm_like_deb
    check "rpmlint finds no errors and no warnings" rpmlint_accepts
fi

# The installer leaves the manifests that the package owns as they are, naming the package: a
# manifest it deleted would not come back on reinstalling (dpkg keeps deleted conffiles deleted).
package_manifests_kept() {
    local manifests=("$root"/{etc/opt/chrome,etc/chromium,etc/opt/edge,usr/lib/mozilla}) before output options
    manifests=("${manifests[@]/%//native-messaging-hosts/$name.json}")
    before=$(md5sum "${manifests[@]}") || return 1
    for options in --system "--system --uninstall"; do
        # shellcheck disable=SC2086 # two options in one word
        output=$("$root$share/install-host.sh" $options --root "$root") || return 1
        echo "$output"
        [[ $(grep -c "alone: it belongs to the package $package " <<<"$output") == 4 ]] || return 1
    done
    [[ $(md5sum "${manifests[@]}") == "$before" ]]
}
check "install-host.sh --system, and with --uninstall, keeps the package's manifests" \
    package_manifests_kept

check "dpkg purges the package" dpkg_in_root -P "$package"
check "none of its files are left" none_left
check "the machine's own packages are as they were" test "$(machine_state)" = "$machine_before"

echo "$passed passed, $failed failed"
((failed == 0))
