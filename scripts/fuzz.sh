#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz, replays every target's corpus, then fuzzes each
# target in turn and prints how many inputs each ran.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   SECONDS per target (default 60), every target by default
#   scripts/fuzz.sh --runs N [TARGET...]    N inputs per target
#   scripts/fuzz.sh --ci                    the bounded run of the test command
#
# New inputs go to build-fuzz/corpus/TARGET (seeded from tests/fuzz/corpus/TARGET); an input
# that breaks a target is kept as build-fuzz/artifacts/TARGET-*: copy it into the target's
# corpus in tests/fuzz/corpus, where CTest replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
runs=-1
ci=false
if [ "${1:-}" = "--ci" ]; then
    ci=true
    seconds=${FUZZ_CI_SECONDS:-4}
    shift
elif [ "${1:-}" = "--runs" ]; then
    runs=$2
    seconds=0
    shift 2
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi

packages=(clang libclang-rt-dev cmake ninja-build)
scripts/install-missing.sh "${packages[@]}"

# Warnings are errors in the fuzz targets; the g++ builds hold the rest of the code to them.
build=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ scripts/configure.sh "$build" -DHOST_FUZZ=ON -DHOST_BUILD_TESTS=OFF \
    -DHOST_WARNINGS_AS_ERRORS=OFF -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2 -L fuzz

targets=("$@")
if ((${#targets[@]} == 0)); then
    for source in tests/fuzz/*Fuzz.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

mkdir -p "$build/artifacts"
summary=()
failed=0
for target in "${targets[@]}"; do
    corpus=$build/corpus/$target
    mkdir -p "$corpus"
    log=$build/$target.log
    echo "=== $target"
    status=0
    "$build/bin/$target" -max_total_time="$seconds" -runs="$runs" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$corpus" "tests/fuzz/corpus/$target" \
        >"$log" 2>&1 || status=$?
    done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if ((status != 0)); then
        failed=1
        tail -40 "$log"
        summary+=("$target: FAILED after ${done_runs:-?} runs (log $log)")
    else
        summary+=("$target: ${done_runs:-?} runs without a failure")
    fi
done

echo "=== fuzzing: $( ((runs >= 0)) && echo "$runs inputs" || echo "$seconds s") per target"
printf '%s\n' "${summary[@]}"
if ! $ci; then
    echo "(new inputs kept in $build/corpus; inputs that broke a target in $build/artifacts)"
fi
exit "$failed"
