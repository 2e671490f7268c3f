#!/usr/bin/env bash
# The soak test for as long as asked: padsim's bridge signs at 200 points/s through the host's
# TCP listener; every POINT message is compared with the one expected, and the host's resident
# memory, descriptors and threads are watched once a second. Prints the figures: points, the peak
# resident memory of the first and the last minute, descriptors and threads.
#
#   scripts/soak.sh [SECONDS]     default 600; the test command's run is 60 s
#
# Environment: BUILD (build) the build directory, a normal build (a sanitizer build skips the
# test); HOST_LOCK=FILE runs the test under `flock FILE`, for machines where other hosts take
# turns.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
build=${BUILD:-build}

scripts/build-deps.sh
scripts/configure.sh "$build" -DHOST_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target soak_tests >/dev/null

locked() { if [ -n "${HOST_LOCK:-}" ]; then flock "$HOST_LOCK" "$@"; else "$@"; fi; }
echo "== soak: $seconds s at 200 points/s"
INKORA_SOAK_SECONDS=$seconds locked "$build/bin/soak_tests"
