#!/usr/bin/env bash
# The main job after a build: what the programs built so far can show.
set -uo pipefail
bin="$1"
if [ -x "$bin/torq4" ]; then
  [ -x "$bin/torqinit" ] && "$bin/torqinit"
  "$bin/torq4"
  exit 0
fi
echo "built: $(ls "$bin" 2>/dev/null | tr '\n' ' ')"
