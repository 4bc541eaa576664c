#!/usr/bin/env bash
# Extraction time of `zsfx extract` on Linux, for two builds side by side on the same data:
# 20,000 small files (the cost of each member's own steps: its temporary name, time stamp
# and rename) and the 80 MB set (see bench/bench-data.sh), each extracted over an installed
# copy (every member replaces a file: an upgrade) and into an empty folder (a first
# install). Each round runs both builds in alternating order; medians of the rounds, wall
# seconds.
#
#   ZSFX_A=old/zsfx ZSFX_B=new/zsfx bench/run-extract-bench.sh [rounds]   (default 5)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
a=${ZSFX_A:?the zsfx to compare with (ZSFX_A)}
b=${ZSFX_B:-$root/build/host/tools/zsfx/zsfx}
cache=$root/build/extract-bench
source "$root/bench/bench-data.sh"
source "$root/bench/median.sh"
mkdir -p "$cache"

# 20,000 files of 100 to 1,099 bytes in 100 folders, packed once with the newer build.
small=$cache/small.lzh
if [[ ! -s $small ]]; then
  rm -rf "$cache/src" && mkdir -p "$cache/src"
  python3 - "$cache/src" <<'PY'
import os, random, sys
random.seed(1)
for f in range(100):
    d = os.path.join(sys.argv[1], "d%03d" % f)
    os.makedirs(d)
    for i in range(200):
        with open(os.path.join(d, "f%03d.txt" % i), "wb") as out:
            out.write(bytes(random.randrange(97, 123) for _ in range(100 + random.randrange(1000))))
PY
  "$b" pack "$small" "$cache/src" --method lh5 > /dev/null
  rm -rf "$cache/src"
fi

# One extraction into out (emptied first when fresh): wall seconds.
run_once() {
  local zsfx=$1 archive=$2 out=$3 fresh=$4 start end
  [[ $fresh == fresh ]] && rm -rf "$out" && sync
  start=$(date +%s.%N)
  "$zsfx" extract "$archive" -C "$out" > /dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f\n", b - a}'
}

declare -A times
labels=()
for archive in "$small" "$bench_data/mixed-lh7.lzh"; do
  for mode in installed fresh; do
    label="$(basename "$archive" .lzh) $mode"
    labels+=("$label")
    rm -rf "$cache/out" && "$b" extract "$archive" -C "$cache/out" > /dev/null  # installed, and warm
    for ((i = 0; i < rounds; i++)); do
      order=(A B)
      ((i % 2)) && order=(B A)
      for which in "${order[@]}"; do
        zsfx=$a
        [[ $which == B ]] && zsfx=$b
        times[$label.$which]+="$(run_once "$zsfx" "$archive" "$cache/out" "$mode") "
      done
    done
  done
done
rm -rf "$cache/out"

printf '%-20s %10s %10s %8s\n' "data" "A s" "B s" "B / A"
for label in "${labels[@]}"; do
  ta=$(median <<< "${times[$label.A]}")
  tb=$(median <<< "${times[$label.B]}")
  printf '%-20s %10s %10s %8s\n' "$label" "$ta" "$tb" "$(awk -v a="$ta" -v b="$tb" 'BEGIN {printf "%.2f", b / a}')"
done
echo "A: $a"
echo "B: $b"
echo "medians of $rounds rounds; installed: over the files of the run before; fresh: into an empty folder"
