#!/usr/bin/env bash
# Lays out the sample extension in OUTPUT_DIR, ready to load unpacked in Chrome, Chromium, Edge
# or Firefox: the files of src/ as they are with their translations (_locales), the signature
# model, its SVG and PNG and the evidence record from the page library (the sample page, the
# sealed captures and the library draw and record alike), native-host.json beside them (the page
# reads the host's name from it), and manifest.json made from the template with the Chrome key
# and the Firefox id that native-host.json holds. Needs jq; writes nothing without it.
set -euo pipefail
if ! command -v jq >/dev/null; then
    echo "extension/assemble.sh: needs jq to write manifest.json; install it (Debian, Ubuntu:" \
         "sudo apt-get install jq) and run this again" >&2
    exit 1
fi
here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: extension/assemble.sh OUTPUT_DIR}

manifest=$(jq --slurpfile host "$here/native-host.json" '
    .key = $host[0].chromeExtensionKey |
    .browser_specific_settings.gecko.id = $host[0].firefoxExtensionId
' "$here/src/manifest.template.json")
mkdir -p "$out"
cp -r "$here"/src/*.html "$here"/src/*.css "$here"/src/*.js "$here"/src/managed-storage.json "$here"/src/icons \
    "$here"/src/_locales "$here/native-host.json" \
    "$here"/../page-library/{signature,signature-svg,signature-raster,image-frame,evidence,seal-fields}.js "$out"/
printf '%s\n' "$manifest" >"$out/manifest.json"
