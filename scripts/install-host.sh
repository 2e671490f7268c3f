#!/bin/bash
# Registers the native-messaging host with Chrome, Chromium, Edge and Firefox on Linux: writes
# each browser's host manifest for the current user (default) or for every user (--system), and
# removes them again with --uninstall. The host's name and the extension ids are read from
# native-host.json: extension/ in a checkout, or the folder of this script where it is installed.
set -euo pipefail

program=$(basename "$0")
die() {
    echo "$program: $*" >&2
    exit 1
}

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
host_file=Lumarq.OrvaneSignExtension
if [[ -f $script_dir/../extension/native-host.json ]]; then
    # A checkout: the host built in build/.
    checkout=$(cd "$script_dir/.." && pwd)
    config=$checkout/extension/native-host.json
    default_host=$checkout/build/bin/$host_file
else
    # Installed as PREFIX/share/NAME/install-host.sh beside native-host.json: the host in PREFIX/bin.
    config=$script_dir/native-host.json
    default_host=$(cd "$script_dir/../.." && pwd)/bin/$host_file
fi

usage() {
    cat <<EOF
Usage: $program [OPTIONS]

Writes the host manifest for Chrome, Chromium, Edge and Firefox (and the Firefox snap where
~/snap/firefox exists), or removes them with --uninstall.

  --system                   for every user: the browsers' folders in /etc and /usr/lib (as root)
  --uninstall                remove the manifests, and the folders that installing created
  --host PATH                the host executable (default: $default_host)
  --extension-id ID          a Chrome, Chromium or Edge extension that may start the host;
                             repeat for more (default: the one in native-host.json)
  --firefox-extension-id ID  a Firefox extension that may start the host; repeat for more
                             (default: the one in native-host.json)
  --root DIR                 with --system: write below DIR instead of / (staging, tests)
  -h, --help                 this text
EOF
}

system=false
uninstall=false
host=$default_host
root=
chrome_ids=()
firefox_ids=()
while (($#)); do
    option=$1
    value=
    case $option in
    --*=*)
        value=${option#*=}
        option=${option%%=*}
        ;;
    --host | --extension-id | --firefox-extension-id | --root)
        (($# >= 2)) || die "$option needs a value"
        value=$2
        shift
        ;;
    esac
    case $option in
    --system) system=true ;;
    --uninstall) uninstall=true ;;
    --host) host=$value ;;
    --extension-id) chrome_ids+=("$value") ;;
    --firefox-extension-id) firefox_ids+=("$value") ;;
    --root) root=$value ;;
    -h | --help)
        usage
        exit 0
        ;;
    *) die "unknown option $option (see --help)" ;;
    esac
    shift
done

command -v python3 >/dev/null || die "needs python3 to read and write JSON"
[[ -f $config ]] || die "cannot find $config"

# name, description, Chrome extension id, Firefox extension id: one a line.
config_text=$(python3 - "$config" <<'EOF'
import json, sys
with open(sys.argv[1], encoding="utf-8") as file:
    config = json.load(file)
for key in ("name", "description", "chromeExtensionId", "firefoxExtensionId"):
    value = config[key]
    if not isinstance(value, str) or "\n" in value:
        sys.exit(f"{sys.argv[1]}: {key} is not a one-line string")
    print(value)
EOF
) || die "cannot read $config"
mapfile -t fields <<<"$config_text"
name=${fields[0]}
description=${fields[1]}
((${#chrome_ids[@]})) || chrome_ids=("${fields[2]}")
((${#firefox_ids[@]})) || firefox_ids=("${fields[3]}")

for id in "${chrome_ids[@]}"; do
    [[ $id =~ ^[a-p]{32}$ ]] || die "not a Chrome extension id (32 letters a to p): '$id'"
done
guid='\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\}'
for id in "${firefox_ids[@]}"; do
    [[ $id =~ ^([A-Za-z0-9._+-]*@[A-Za-z0-9._-]+|$guid)$ ]] ||
        die "not a Firefox extension id (name@domain or {GUID}): '$id'"
done

# The browsers' manifest folders; Firefox's last, the snap's only where that snap is present.
if $system; then
    if [[ -n $root ]]; then
        root=$(realpath -m -- "$root")
    elif ((EUID != 0)); then
        die "--system writes to /etc and /usr/lib: run it as root (sudo)"
    fi
    chromium_dirs=("$root/etc/opt/chrome/native-messaging-hosts"
                   "$root/etc/chromium/native-messaging-hosts"
                   "$root/etc/opt/edge/native-messaging-hosts")
    firefox_dirs=("$root/usr/lib/mozilla/native-messaging-hosts")
    record_dir=$root/var/lib/$name
else
    [[ -z $root ]] || die "--root goes with --system"
    [[ -n ${HOME:-} ]] || die "HOME is not set"
    config_home=${XDG_CONFIG_HOME:-$HOME/.config}
    chromium_dirs=("$config_home/google-chrome/NativeMessagingHosts"
                   "$config_home/chromium/NativeMessagingHosts"
                   "$config_home/microsoft-edge/NativeMessagingHosts")
    firefox_dirs=("$HOME/.mozilla/native-messaging-hosts")
    snap_dir=$HOME/snap/firefox/common/.mozilla/native-messaging-hosts
    if $uninstall || [[ -d $HOME/snap/firefox ]]; then
        firefox_dirs+=("$snap_dir")
    fi
    record_dir=${XDG_DATA_HOME:-$HOME/.local/share}/$name
fi
# The folders that installing created, so that uninstalling removes them once they are empty.
record=$record_dir/created-folders

# rpm_database: whether rpm is here and has a database (below --root): asked without one, it
# would make one (Debian's rpm keeps its own in the home folder, which owns nothing of the system).
rpm_database() {
    local database
    command -v rpm >/dev/null && database=$(rpm --eval '%{_dbpath}' 2>/dev/null) &&
        [[ -d $root$database ]]
}
# owner_package FILE: prints the package that owns FILE (below --root: in that root's package
# databases); fails when none does. Every package manager present is asked, since a system may
# have more than one: Fedora ships dpkg beside rpm, Debian rpm beside dpkg.
owner_package() {
    local path=${1#"$root"} owner
    if command -v dpkg-query >/dev/null &&
        owner=$(dpkg-query ${root:+"--root=$root"} -S -- "$path" 2>/dev/null |
            grep -v '^diversion by' | head -n 1) && [[ -n $owner ]]; then
        echo "${owner%%: *}"
    elif rpm_database &&
        owner=$(rpm ${root:+--root "$root"} -qf --qf '%{NAME}\n' -- "$path" 2>/dev/null); then
        head -n 1 <<<"$owner"
    else
        return 1
    fi
}
# ours FILE: whether this script may write or remove FILE. A system manifest that a package
# installed is the package's to change: removing it would not come back on reinstalling (dpkg
# keeps a deleted configuration file deleted), so it is left alone, and the user told.
ours() {
    local package
    if $system && package=$(owner_package "$1"); then
        echo "left $1 alone: it belongs to the package $package (removing or reinstalling that" \
             "package changes it)"
        return 1
    fi
}

if $uninstall; then
    for dir in "${chromium_dirs[@]}" "${firefox_dirs[@]}"; do
        if [[ -e $dir/$name.json || -L $dir/$name.json ]] && ours "$dir/$name.json"; then
            rm -f -- "$dir/$name.json"
            echo "removed $dir/$name.json"
        fi
    done
    if [[ -f $record ]]; then
        mapfile -t created < <(LC_ALL=C sort -ru -- "$record")
        rm -f -- "$record"
        # Deepest first; a folder that holds anything else stays.
        for dir in "${created[@]}"; do
            rmdir -- "$dir" 2>/dev/null || true
        done
    fi
    exit 0
fi

[[ $host == /* ]] || host=$PWD/$host
[[ -e $host ]] || die "the host $host does not exist (build it, or name it with --host PATH)"
[[ -f $host && -x $host ]] || die "the host $host is not an executable file"
host=$(realpath -s -- "$host")

created=()
# make_folder DIR: creates DIR and its missing parents (mode 755), noting each one created.
make_folder() {
    local dir=$1 missing=()
    while [[ ! -d $dir ]]; do
        missing=("$dir" "${missing[@]}")
        dir=$(dirname -- "$dir")
    done
    for dir in "${missing[@]}"; do
        mkdir -m 755 -- "$dir"
        created+=("$dir")
    done
}

# write_manifests KIND=FILE...: each browser family's manifest ("chromium" or "firefox") to FILE.
write_manifests() {
    python3 - "$name" "$description" "$host" "${chrome_ids[*]}" "${firefox_ids[*]}" "$@" <<'EOF'
import json, os, sys
name, description, host, chrome_ids, firefox_ids, *targets = sys.argv[1:]
allowed = {
    "chromium": ("allowed_origins", [f"chrome-extension://{id}/" for id in chrome_ids.split()]),
    "firefox": ("allowed_extensions", firefox_ids.split()),
}
for target in targets:
    kind, file = target.split("=", 1)
    key, value = allowed[kind]
    manifest = {"name": name, "description": description, "path": host, "type": "stdio", key: value}
    partial = file + ".partial"
    with open(partial, "w", encoding="utf-8") as out:
        json.dump(manifest, out, indent=2)
        out.write("\n")
    os.chmod(partial, 0o644)
    os.replace(partial, file)
    print(f"wrote {file}")
EOF
}

targets=()
for dir in "${chromium_dirs[@]}"; do
    ours "$dir/$name.json" || continue
    make_folder "$dir"
    targets+=("chromium=$dir/$name.json")
done
for dir in "${firefox_dirs[@]}"; do
    ours "$dir/$name.json" || continue
    make_folder "$dir"
    targets+=("firefox=$dir/$name.json")
done
((${#targets[@]} == 0)) || write_manifests "${targets[@]}"
if ((${#created[@]})); then
    make_folder "$record_dir"
    printf '%s\n' "${created[@]}" >>"$record"
fi
if ((${#targets[@]})); then
    echo "each manifest written starts $host"
fi

if ! $system && [[ -d $HOME/snap/firefox ]]; then
    echo "note: the Firefox snap starts the host through the desktop portal (xdg-desktop-portal" \
         "with its WebExtensions interface) and asks once whether the extension may start it"
fi
if ! $system && ((EUID == 0)) && [[ -n ${SUDO_USER:-} ]]; then
    echo "note: this installed for $HOME only; --system installs for every user"
fi
