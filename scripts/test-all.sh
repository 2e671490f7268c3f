#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test twice: in a
# normal build and in a build under AddressSanitizer and UndefinedBehaviorSanitizer; the threaded
# unit tests run a third time under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi

run_suite() {
    local dir=$1 label_args=$2
    shift 2
    echo "=== $dir: configure and build"
    cmake -S . -B "$dir" -G Ninja -DHOST_WARNINGS_AS_ERRORS=ON -DHOST_BUILD_TESTS=ON "$@" >/dev/null
    cmake --build "$dir"
    echo "=== $dir: tests"
    # shellcheck disable=SC2086
    ctest --test-dir "$dir" --output-on-failure -j2 $label_args
}

run_suite build "" -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_suite build-asan "" -DCMAKE_BUILD_TYPE=Debug -DHOST_SANITIZE=ON
run_suite build-tsan "-L unit" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOST_TSAN=ON
