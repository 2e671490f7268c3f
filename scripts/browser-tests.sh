#!/usr/bin/env bash
# Checks the sample extension (tests/browser/extension-check.sh: web-ext lint, icons, assemble.sh
# without jq), then runs its tests in headless Chromium and Firefox ESR against the host built
# in BUILD_DIR (default build), with padsim as the pad behind the TCP listener. Installs what is
# missing first. Results (results.xml) and the screenshots of the signed pad go to
# BUILD_DIR/browser-tests/. BROWSERS=chromium or BROWSERS=firefox runs one browser only.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath "${1:-build}")
started=$SECONDS

scripts/browser-deps.sh
tests/browser/extension-check.sh
cmake --build "$build_dir" --target Lumarq.OrvaneSignExtension padsim

results="$build_dir/browser-tests"
rm -rf "$results"
mkdir -p "$results"
status=0
HOST_BUILD_DIR=$build_dir BROWSER_TEST_RESULTS=$results \
    node --test --test-concurrency=1 \
    --test-reporter=tap --test-reporter-destination=stdout \
    --test-reporter=junit --test-reporter-destination="$results/results.xml" \
    tests/browser/signing-pad.test.mjs tests/browser/page-bridge.test.mjs || status=$?
echo "Browser tests: $((SECONDS - started)) s, results and screenshots in $results"
exit "$status"
