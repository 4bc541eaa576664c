#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for the given seconds (default 15) over its
# checked-in seeds, in a scratch copy so the seed folders stay as committed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-15}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
status=0
for target in build/fuzz/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target" _fuzz)
  work=$(mktemp -d)
  [ -d "fuzz/seeds/$name" ] && cp -r "fuzz/seeds/$name/." "$work/"
  echo "fuzzing $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$work" 2>"$work.log"; then
    tail -n 40 "$work.log"
    echo "FUZZ FAILURE in $name"
    status=1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
