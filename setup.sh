#!/usr/bin/env bash
# Installs what the build needs, builds the Release tree in build/ and runs the programs.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
bash scripts/main-job.sh build/bin
