#!/usr/bin/env bash
# check-no-other-host.sh COMMAND: exits 1, naming each one and saying what to do, when a host of
# this user already runs where this script sees processes (a browser's, another test run's):
# every host that COMMAND's tests start would then end at once on the one-copy check. Finds the
# hosts as the host does: processes of this user whose executable's base name is
# Lumarq.OrvaneSignExtension, ASCII case ignored. Exits 0 when there is none.
set -euo pipefail
command=${1:?usage: scripts/check-no-other-host.sh COMMAND}

others=()
for dir in /proc/[0-9]*; do
    [[ -O $dir ]] || continue
    executable=$(readlink "$dir/exe" 2>/dev/null) ||
        executable=$(tr '\0' '\n' <"$dir/cmdline" 2>/dev/null | head -n 1) || continue
    executable=${executable% (deleted)}
    name=${executable##*/}
    if [[ ${name,,} == lumarq.orvanesignextension ]]; then
        others+=("pid ${dir#/proc/}: $executable")
    fi
done
((${#others[@]} == 0)) && exit 0

{
    echo "Another host of this user runs on this machine:"
    printf '    %s\n' "${others[@]}"
    echo "The host runs once per user, so every host the tests start would end at once with exit"
    echo "code 1. Close it first (end the signing in the browser that started it, or kill the pid"
    echo "above), or run the tests as root in a PID namespace of their own, where no other host"
    echo "is seen:"
    echo "    sudo unshare -p -f --mount-proc $command"
} >&2
exit 1
