#!/usr/bin/env bash
# The main job after a build: write the data files beside the programs, then run torq4 when
# it exists.
set -uo pipefail
bin="$1"
if [ -x "$bin/torqinit" ]; then "$bin/torqinit" || exit 1; fi
if [ -x "$bin/torq4" ]; then "$bin/torq4"; exit 0; fi
exit 0
