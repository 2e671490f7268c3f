#!/usr/bin/env bash
# Builds the host and runs it through one session with a browser stand-in.
# The capture pipeline is not built yet, so the session is a CLOSE round trip: the host answers
# with its goodbye frame and exits 0.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target Lumarq.OrvaneSignExtension >/dev/null
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/windows" "$root/temp"
echo "Sending CLOSE to the host; its answer (length, then text):"
printf '\x13\x00\x00\x00{"command":"CLOSE"}' |
    INKORA_ROOT="$root" build/bin/Lumarq.OrvaneSignExtension 2>/dev/null | od -A d -c
echo "host exit code: ${PIPESTATUS[1]}"
