#!/usr/bin/env bash
# Configures and builds the project into the folder given as the first argument
# (default: build); further arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j2
