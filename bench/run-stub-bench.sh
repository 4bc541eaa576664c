#!/usr/bin/env bash
# Extraction speed of the stub against `zsfx.exe extract`, both under Wine, on the same two
# self-extracting files: a tiny one and a large one. The difference between the two cancels
# Wine's start-up, so the per-MB slope is the time the engine spends per decoded megabyte.
#
#   bench/run-stub-bench.sh [runs]     (default 3 runs; medians are reported)
#
# Needs the windows preset built (build/windows/bin: zoltsfx-stub.exe, zsfx.exe), wine and
# xvfb-run. The large payload is ZOLT_BENCH_COPIES (default 5) copies of the two members of
# mixed-lh7.lzh (see bench/bench-data.sh: ../shared/bench, else made once into
# build/bench-data), 400 MB decoded. Environment: ZOLT_WINDOWS_BUILD (build folder),
# ZOLT_STUBS (stubs to measure side by side, separated by spaces, for example builds with
# other flags; default the build's own stub).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZOLT_WINDOWS_BUILD:-$root/build/windows}
read -r -a stubs <<< "${ZOLT_STUBS:-$build/bin/zoltsfx-stub.exe}"
zsfx=$build/bin/zsfx.exe
runs=${1:-3}
copies=${ZOLT_BENCH_COPIES:-5}
cache=$root/build/stub-bench

for tool in wine xvfb-run python3; do
  command -v "$tool" > /dev/null || { echo "needs $tool" >&2; exit 1; }
done
[[ -f $zsfx ]] || { echo "build the windows preset first ($zsfx)" >&2; exit 1; }
for stub in "${stubs[@]}"; do
  [[ -f $stub ]] || { echo "no stub $stub" >&2; exit 1; }
done

# The stub opens a window: run everything inside one virtual X server.
if [[ -z ${DISPLAY:-} ]]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

source "$root/bench/bench-data.sh"
source "$root/scripts/lib/wine-env.sh"
wine_prepare_prefix
mkdir -p "$cache"
# One warm wineserver for every run, ended when the benchmark ends.
wineserver -p
trap 'wineserver -k 2> /dev/null || true; rm -rf "$cache/out"' EXIT

# The large archive: the members of mixed-lh7.lzh, repeated. An archive is its members
# followed by a byte 0, so the copies are the archive without that byte, then one 0.
big_lzh=$cache/big-$copies-$(stat -c %s "$bench_data/mixed-lh7.lzh").lzh
if [[ ! -s $big_lzh ]]; then
  size=$(stat -c %s "$bench_data/mixed-lh7.lzh")
  for ((i = 0; i < copies; i++)); do head -c $((size - 1)) "$bench_data/mixed-lh7.lzh"; done > "$big_lzh.tmp"
  printf '\0' >> "$big_lzh.tmp"
  mv "$big_lzh.tmp" "$big_lzh"
fi
rm -rf "$cache/tiny" && mkdir -p "$cache/tiny" && echo "a tiny payload" > "$cache/tiny/readme.txt"

# Every stub gets both payloads. They run with no dialog: without a settings block the stub
# extracts into its current folder at once and ends. zsfx.exe reads the files of the first.
for n in "${!stubs[@]}"; do
  cp "${stubs[n]}" "$cache/stub-$n.exe"
  (cd "$cache" && wine "$zsfx" make -o "tiny-$n.exe" --stub "stub-$n.exe" --from tiny --no-settings > /dev/null &&
    wine "$zsfx" make -o "big-$n.exe" --stub "stub-$n.exe" --archive "$(basename "$big_lzh")" --no-settings > /dev/null)
done

# Runs one extraction in a fresh, empty folder and prints its wall time in seconds: "zsfx"
# runs `zsfx.exe extract` on the files of stub 0, a number runs that stub's own file. A
# failing member makes the stub show a message box and wait, hence the time limit.
run_once() {
  local how=$1 size=$2 start end
  rm -rf "$cache/out" && mkdir -p "$cache/out"
  start=$(date +%s.%N)
  if [[ $how == zsfx ]]; then
    (cd "$cache" && timeout 600 wine "$zsfx" extract "$size-0.exe" -C out > /dev/null)
  else
    (cd "$cache/out" && timeout 600 wine "../$size-$how.exe" > /dev/null)
  fi
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f\n", b - a}'
}

# The decoded size of a payload: the sum of its members' original sizes (the large payload
# repeats names, so later copies replace earlier files on disk). These first runs also warm
# the prefix and the page cache, and check that every stub writes what zsfx.exe writes.
tree() { (cd "$cache/out" && find . -type f -exec md5sum {} + | sort); }
decoded_bytes() {
  local want got n
  run_once zsfx "$1" > /dev/null
  want=$(tree)
  for n in "${!stubs[@]}"; do
    run_once "$n" "$1" > /dev/null
    got=$(tree)
    [[ -n $want && $got == "$want" ]] || { echo "$1: ${stubs[n]} and zsfx.exe wrote different files" >&2; exit 1; }
  done
  (cd "$cache" && wine "$zsfx" list --json "$1-0.exe") |
    python3 -c 'import json, sys; print(sum(m["original_size"] for m in json.load(sys.stdin)))'
}
tiny_bytes=$(decoded_bytes tiny)
big_bytes=$(decoded_bytes big)

median() { tr ' ' '\n' | grep . | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Alternate all measurements so that load from other processes spreads over all of them.
hows=(zsfx "${!stubs[@]}")
declare -A times
for ((i = 0; i < runs; i++)); do
  for size in tiny big; do
    for how in "${hows[@]}"; do
      times[$how.$size]+="$(run_once "$how" "$size") "
    done
  done
done

mb=$(awk -v b="$big_bytes" -v t="$tiny_bytes" 'BEGIN {printf "%.1f", (b - t) / 1e6}')
echo "large payload ${mb} MB decoded; medians of $runs runs, wall seconds; slope = (large - tiny) / MB"
printf '%-34s %8s %8s %8s %10s %7s\n' "run" "bytes" "tiny s" "large s" "ms per MB" "ratio"
zsfx_slope=
for how in "${hows[@]}"; do
  tiny=$(median <<< "${times[$how.tiny]}")
  big=$(median <<< "${times[$how.big]}")
  slope=$(awk -v a="$tiny" -v b="$big" -v m="$mb" 'BEGIN {printf "%.2f", (b - a) * 1000 / m}')
  [[ -n $zsfx_slope ]] || zsfx_slope=$slope
  if [[ $how == zsfx ]]; then
    label="wine zsfx.exe extract" bytes=-
  else
    label="wine file.exe: $(basename "${stubs[how]}")" bytes=$(stat -c %s "${stubs[how]}")
  fi
  printf '%-34s %8s %8s %8s %10s %7s\n' "$label" "$bytes" "$tiny" "$big" "$slope" \
    "$(awk -v s="$slope" -v z="$zsfx_slope" 'BEGIN {printf "%.2f", s / z}')"
done
echo "ratio: slope over the slope of zsfx.exe extract in the same run"
