#!/usr/bin/env bash
# Installs what the build needs, builds the Release tree in build/ and runs the programs.
set -euo pipefail
cd "$(dirname "$0")"
jobs="${TORQ_JOBS:-$(nproc)}"  # a lower figure leaves cores to other work on the machine
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
bash scripts/main-job.sh build/bin
