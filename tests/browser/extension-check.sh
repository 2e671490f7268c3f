#!/usr/bin/env bash
# The sample extension as extension/assemble.sh lays it out: Mozilla's linter (web-ext lint)
# reports no error and every icon the manifest names is there; without jq the script fails
# before writing anything, naming jq; the unit tests of the extension's and the page library's
# pure modules pass (among them sealing keys and sealed records, opened by python3-jwcrypto, jose
# and the library's open-sealed command); and the page library's types accept the README's
# example and code written before points carried times, and refuse the misuses of
# tests/browser/types/misuses.ts. Needs tests/browser/node_modules and page-library/node_modules
# (scripts/browser-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
extension=$work/extension

extension/assemble.sh "$extension"
tests/browser/node_modules/.bin/web-ext lint --source-dir "$extension" --no-config-discovery
for icon in $(jq -r '.icons[], .action.default_icon[]' "$extension/manifest.json"); do
    cmp -s -n 8 <(printf '\x89PNG\r\n\x1a\n') "$extension/$icon" || { echo "not a PNG: $icon" >&2; exit 1; }
done

if PATH=/nonexistent /bin/bash extension/assemble.sh "$work/without-jq" 2>"$work/error" ||
    ! grep -q "needs jq" "$work/error" || [[ -e $work/without-jq ]]; then
    echo "assemble.sh without jq did not fail cleanly: $(cat "$work/error")" >&2
    exit 1
fi
node --test tests/browser/allowed-origins.test.mjs tests/browser/capture-watch.test.mjs \
    tests/browser/capture-broker.test.mjs tests/browser/signature-image.test.mjs tests/browser/evidence.test.mjs \
    tests/browser/page-open.test.mjs tests/browser/sealing-keys.test.mjs tests/browser/sealed-record.test.mjs \
    tests/browser/sealing-rules.test.mjs tests/browser/point-batcher.test.mjs >"$work/unit-tests" ||
    { cat "$work/unit-tests" >&2; exit 1; }
tests/browser/node_modules/.bin/tsc -p tests/browser/types
echo "extension: unit tests (origins, capture limits, background bridge, page open, evidence, images, sealing keys, sealed records and open-sealed, sealing rules, batched ink) passed, the library's types hold, web-ext lint without errors, icons present, assemble.sh refuses cleanly without jq"
