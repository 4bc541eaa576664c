#!/usr/bin/env bash
# Decoding speed of two zsfx builds side by side: `zsfx test` (decode and CRC, nothing
# written) of the benchmark set's -lh5- and -lh7- archives, the two builds alternating in
# every round, so that both meet the same load.
#
#   bench/compare-test-speed.sh OLD_ZSFX NEW_ZSFX [rounds]     (default 9 rounds)
#
# Prints, for each archive, the median wall time of each build and NEW over OLD. The data:
# see bench/bench-data.sh (../shared/bench, else made once into build/bench-data).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -ge 2 ]] || { echo "usage: $0 OLD_ZSFX NEW_ZSFX [rounds]" >&2; exit 2; }
old=$1 new=$2 rounds=${3:-9}
for zsfx in "$old" "$new"; do
  [[ -x $zsfx ]] || { echo "not a program: $zsfx" >&2; exit 2; }
done
source "$root/bench/bench-data.sh"
source "$root/bench/median.sh"

seconds() {  # PROGRAM ARCHIVE: the wall time of one `test`, in seconds
  local start
  start=$(date +%s.%N)
  "$1" test "$2" > /dev/null 2>&1 || { echo "$1 test $2 failed" >&2; exit 1; }
  awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.3f\n", b - a}'
}

for method in lh5 lh7; do
  archive=$bench_data/mixed-$method.lzh
  seconds "$old" "$archive" > /dev/null  # the page cache
  old_times= new_times=
  for ((i = 0; i < rounds; i++)); do
    # The order alternates too: neither build always runs first.
    if ((i % 2 == 0)); then
      old_times+="$(seconds "$old" "$archive") "
      new_times+="$(seconds "$new" "$archive") "
    else
      new_times+="$(seconds "$new" "$archive") "
      old_times+="$(seconds "$old" "$archive") "
    fi
  done
  o=$(median <<< "$old_times")
  n=$(median <<< "$new_times")
  awk -v m="$method" -v o="$o" -v n="$n" -v r="$rounds" \
    'BEGIN {printf "-%s-: old %.3f s, new %.3f s (medians of %d), new / old %.3f\n", m, o, n, r, n / o}'
done
