#!/usr/bin/env bash
# The main job after a build: write the data files beside the programs, then have torq4
# compress a sample file and restore it. The restored file must equal the original byte for
# byte; any difference or failure ends the job with a non-zero status.
set -uo pipefail
bin="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
"$bin/torqinit" || { echo "MAIN JOB FAILED: torqinit" >&2; exit 1; }
if [ ! -x "$bin/torq4" ]; then
  echo "main job: torq4 is not built in this tree" >&2
  exit 0
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The sample: the project's own text files, lines ending in LF.
cat "$root/README.md" "$root/CMakeLists.txt" "$root"/torqup/*.h > "$work/sample.txt"
printf '\n' >> "$work/sample.txt"
fail() { echo "MAIN JOB FAILED: $1" >&2; exit 1; }
"$bin/torq4" compress "torqin=$work/sample.txt" "torqfile=$work/sample.tq" show=none ||
  fail "torq4 compress ended with status $?"
"$bin/torq4" decompress "torqfile=$work/sample.tq" "torqout=$work/restored.txt" show=none ||
  fail "torq4 decompress ended with status $?"
cmp "$work/sample.txt" "$work/restored.txt" || fail "the restored file differs from the original"
echo "main job: $(wc -c < "$work/sample.txt") bytes compressed with the factory method (ADC) into $(wc -c < "$work/sample.tq") bytes and restored equal"
