#!/usr/bin/env bash
# Makes a fresh Wine prefix in a temporary folder for the tests of the Windows host, starts a
# persistent Wine server for it, and prints its path. Stop the server with
# `WINEPREFIX=PATH wineserver -k` when done. WINEARCH=win64 makes a 64-bit prefix (Debian's
# wine64), as real machines are; the default is a 32-bit one.
set -euo pipefail
prefix=$(mktemp -d /tmp/inkora-wine-XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=${WINEARCH:-win32}
# No desktop integration, no Mono or Gecko installers: a console host needs none of them.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# The prefix is made first and its server left to end: a server kept up through the making
# ends up with two service managers, and a driver installed later then never starts.
wineboot --init >/dev/null 2>&1
wineserver -w
wineserver --persistent </dev/null >/dev/null 2>&1
# The first program started on a new server starts the prefix's services, which inherit its
# standard streams: started here on /dev/null, so that they never hold a test's pipes open.
wine cmd /c exit </dev/null >/dev/null 2>&1
mkdir -p "$prefix/drive_c/temp"
echo "$prefix"
