#!/usr/bin/env bash
# Checks the sample extension (tests/browser/extension-check.sh: web-ext lint, icons, assemble.sh
# without jq), then runs its tests in headless Chromium and Firefox ESR against the host built
# in BUILD_DIR (default build), with padsim as the pad behind the TCP listener. Installs what is
# missing first. Results (results.xml) and the screenshots of the signed pad and of a sealed
# signature's signing window (signing-window-*.png) go to BUILD_DIR/browser-tests/.
# BROWSERS=chromium or BROWSERS=firefox runs one browser only. As root the tests run in a PID
# namespace of their own.
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
# The host allows one instance per machine and finds the others by name among all processes: a
# host started by another test, or by a browser, would make the tests' hosts end at once. As
# root the tests get a PID namespace of their own (with its own /proc), where only their hosts
# are seen; the namespace's processes end with it.
isolated=()
if [[ $(id -u) == 0 ]] && unshare -p -f --mount-proc true 2>/dev/null; then
    isolated=(unshare -p -f --mount-proc)
else
    echo "Browser tests: not root, so no PID namespace of their own: no other host may run meanwhile"
    scripts/check-no-other-host.sh "$0"
fi
status=0
HOST_BUILD_DIR=$build_dir BROWSER_TEST_RESULTS=$results \
    "${isolated[@]}" node --test --test-concurrency=1 \
    --test-reporter=tap --test-reporter-destination=stdout \
    --test-reporter=junit --test-reporter-destination="$results/results.xml" \
    tests/browser/signing-pad.test.mjs tests/browser/page-bridge.test.mjs tests/browser/sealed-signature.test.mjs || status=$?
echo "Browser tests: $((SECONDS - started)) s, results and screenshots in $results"
exit "$status"
