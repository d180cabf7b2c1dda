#!/usr/bin/env bash
# Builds (installing what is missing) if needed and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
dir="${TORQ_BUILD_DIR:-build}"
jobs="${TORQ_JOBS:-$(nproc)}"  # a lower figure leaves cores to other work on the machine
scripts/deps.sh
[ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$dir" -j"$jobs"
ctest --test-dir "$dir" --output-on-failure -j"$jobs"
