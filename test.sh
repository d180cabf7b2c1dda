#!/usr/bin/env bash
# Builds (installing what is missing) if needed and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
dir="${TORQ_BUILD_DIR:-build}"
scripts/deps.sh
[ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
