#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for the given seconds (default 60) over its
# checked-in seeds, in a scratch copy so the seed folders stay as committed. A finding (crash,
# leak, timeout or out-of-memory) fails the script and prints the input as base64, so that it
# can be rebuilt from a CI log: `base64 -d > input; build/fuzz/fuzz/<target>_fuzz input`.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
status=0
for target in build/fuzz/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target" _fuzz)
  work=$(mktemp -d)
  findings=$(mktemp -d)
  [ -d "fuzz/seeds/$name" ] && cp -r "fuzz/seeds/$name/." "$work/"
  echo "fuzzing $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=0 \
      -artifact_prefix="$findings/" "$work" 2>"$work.log"; then
    tail -n 40 "$work.log"
    echo "FUZZ FAILURE in $name"
    for finding in "$findings"/*; do
      [ -f "$finding" ] || continue
      echo "reproducer $(basename "$finding") ($(stat -c %s "$finding") bytes), base64:"
      base64 -w 76 "$finding"
    done
    status=1
  fi
  rm -rf "$work" "$work.log" "$findings"
done
exit $status
