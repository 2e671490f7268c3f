#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test: the Windows host
# cross-built with MinGW-w64 and tested under Wine (its unit tests, and end-to-end tests that
# drive the .exe from the Linux side), then the Linux host three times: in a normal build, under
# AddressSanitizer and UndefinedBehaviorSanitizer, and under ThreadSanitizer (the end-to-end
# tests then run a host built with it too).
set -euo pipefail
cd "$(dirname "$0")/.."

# A host of this user that runs already (a browser's, another test run's) would make every
# end-to-end case end at once: said now, before the long build.
scripts/check-no-other-host.sh "$0"
scripts/build-deps.sh
scripts/install-missing.sh googletest g++-mingw-w64-i686-posix wine wine32:i386 wine64 python3 \
    wixl msitools osslsigncode openssl

# Each phase's heading says when it began, so that a slow run shows where its time went.
phase() {
    echo "=== $* (at $((SECONDS / 60)) min $((SECONDS % 60)) s)"
}

# run_suite DIR TARGET LABEL CMAKE_OPTIONS...: builds TARGET ("all" for everything) and runs
# the tests with LABEL ("" for every test), the soak excepted (run once, below).
run_suite() {
    local dir=$1 target=$2 label=$3
    shift 3
    phase "$dir: configure and build"
    scripts/configure.sh "$dir" -DHOST_WARNINGS_AS_ERRORS=ON -DHOST_BUILD_TESTS=ON "$@" >/dev/null
    cmake --build "$dir" --target "$target"
    phase "$dir: tests"
    ctest --test-dir "$dir" --output-on-failure -j2 ${label:+-L "$label"} -LE soak
}

# One Wine prefix for the whole run, with a server kept alive between the tests' Wine starts.
phase "Wine prefix"
WINEPREFIX=$(scripts/wine-prefix.sh)
export WINEPREFIX WINEDEBUG=-all
trap 'wineserver -k || true; rm -rf "$WINEPREFIX"' EXIT

run_suite build-win32 all "" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake
run_suite build all "" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOST_WIN32_BUILD_DIR="$PWD/build-win32"

# The release configuration, as the packages' README section builds them: the optimiser's own
# warnings (such as -Wrestrict) are errors too.
phase "build-release: configure and build"
scripts/configure.sh build-release -DCMAKE_BUILD_TYPE=Release -DHOST_WARNINGS_AS_ERRORS=ON \
    -DHOST_BUILD_TESTS=OFF >/dev/null
cmake --build build-release

# The quick start as a newcomer runs it: demo.sh in a build folder that Makefiles made first
# (CMake's default generator, where the scripts' own folders use Ninja) must exit 0.
phase "demo"
rm -rf build-demo
cmake -S . -B build-demo -G "Unix Makefiles" -DHOST_BUILD_TESTS=OFF >/dev/null
BUILD=build-demo CMAKE_BUILD_PARALLEL_LEVEL=2 scripts/demo.sh

# The soak, in the normal build only (the sanitizers change how memory grows): 60 s of signing
# at a pad's pace, its figures printed.
phase "build: soak"
ctest --test-dir build --output-on-failure -L soak --verbose

# Packages: the DEB and the RPM checked with lintian and rpmlint, the DEB installed with dpkg into
# a root of its own (the machine's packages stay as they are), checked and purged, the RPM
# installed into an empty root and compared with it; the Windows ZIP's .reg files, and the signed
# MSI installed, upgraded and removed under Wine in a 32-bit and a 64-bit prefix.
phase "packages"
scripts/package-tests.sh build build-win32

run_suite build-asan all "" -DCMAKE_BUILD_TYPE=Debug -DHOST_SANITIZE=ON
run_suite build-tsan all "" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOST_TSAN=ON

# Fuzzing: the clang build of the fuzz targets (build-fuzz), every corpus replayed, then each
# target fuzzed for a few seconds; under two minutes in all.
phase "fuzzing"
scripts/fuzz.sh --ci

# Browser tests: the sample extension in headless Chromium and Firefox ESR, driving the normal
# build's host with padsim as the pad (results and screenshots in build/browser-tests/).
phase "browser tests"
scripts/browser-tests.sh build
phase "all passed"
