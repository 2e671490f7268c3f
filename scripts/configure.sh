#!/usr/bin/env bash
# configure.sh DIR [CMAKE_OPTION...]: configures the build folder DIR from this checkout. A folder
# configured before keeps the generator it was made with (CMake refuses another one), so that one
# folder serves every script and the README's commands, whichever made it first; a new folder is
# made with Ninja where it is installed, else with CMake's default generator.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:?usage: scripts/configure.sh DIR [CMAKE_OPTION...]}
shift
generator=()
if [[ ! -f $dir/CMakeCache.txt ]] && command -v ninja >/dev/null; then
    generator=(-G Ninja)
fi
cmake -S . -B "$dir" "${generator[@]}" "$@"
