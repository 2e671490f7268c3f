#!/usr/bin/env bash
# Installs what building the host, its tools and its tests needs on Debian or Ubuntu, where
# missing: CMake, Ninja, g++, GoogleTest, nlohmann/json and CLI11 (the tools' libraries).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-missing.sh cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev \
    libcli11-dev
