#!/usr/bin/env bash
# Extraction speed of the stub against `zsfx.exe extract`, both under Wine, on the same two
# self-extracting files: a tiny one and a large one. The difference between the two cancels
# Wine's start-up, so the per-MB slope is the time the engine spends per decoded megabyte.
#
#   bench/run-stub-bench.sh [rounds]     (default 5 rounds)
#
# Each round runs every program once on each payload, in a shuffled order, so that load from
# other processes spreads over all of them. It prints each round's ratio (a stub's slope over
# the slope of zsfx.exe in the same round) and their median, then a table of median times.
#
# Start-up: the tiny payload's whole run of the stub beside that of minimal-window.exe
# (bench/minimal_window.cpp: a GUI program that shows a window and closes, built with the same
# toolchain). The stub may take at most 0.3 s longer (ZOLT_STARTUP_LIMIT); the script ends
# with exit status 1 when its median does not.
#
# Needs the windows preset built (build/windows/bin: zoltsfx-stub.exe, zsfx.exe,
# minimal-window.exe), wine and xvfb-run. The large payload is ZOLT_BENCH_COPIES (default 5)
# copies of the two members of mixed-lh7.lzh (see bench/bench-data.sh: ../shared/bench, else
# made once into build/bench-data), 400 MB decoded. Environment: ZOLT_WINDOWS_BUILD (build
# folder), ZOLT_STUBS (stubs to measure side by side, separated by spaces, for example builds
# with other flags, shown by file name; default the build's own stub), ZOLT_ZSFX_EXE (the
# zsfx.exe to measure against; default the build's own), ZOLT_BENCH_SEED (the orders).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZOLT_WINDOWS_BUILD:-$root/build/windows}
read -r -a stubs <<< "${ZOLT_STUBS:-$build/bin/zoltsfx-stub.exe}"
zsfx=${ZOLT_ZSFX_EXE:-$build/bin/zsfx.exe}
minimal=$build/bin/minimal-window.exe
rounds=${1:-5}
startup_limit=${ZOLT_STARTUP_LIMIT:-0.3}
copies=${ZOLT_BENCH_COPIES:-5}
cache=$root/build/stub-bench
# The programs write into a RAM-backed folder where there is one: the disk's write-back of one
# run's 400 MB (and ext4's flush when a file is renamed over another) must not land in the
# runs after it. ZOLT_BENCH_OUT chooses another.
if [[ -n ${ZOLT_BENCH_OUT:-} ]]; then
  out=$ZOLT_BENCH_OUT
elif [[ -d /dev/shm && -w /dev/shm ]]; then
  out=/dev/shm/zolt-stub-bench-$$
else
  out=$cache/out
fi

for tool in wine xvfb-run python3; do
  command -v "$tool" > /dev/null || { echo "needs $tool" >&2; exit 1; }
done
for program in "$zsfx" "$minimal"; do
  [[ -f $program ]] || { echo "build the windows preset first ($program)" >&2; exit 1; }
done
for stub in "${stubs[@]}"; do
  [[ -f $stub ]] || { echo "no stub $stub" >&2; exit 1; }
done

# The stub opens a window: run everything inside one virtual X server.
if [[ -z ${DISPLAY:-} ]]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

source "$root/bench/bench-data.sh"
source "$root/bench/median.sh"
source "$root/scripts/lib/wine-env.sh"
wine_prepare_prefix
mkdir -p "$cache"
# One warm wineserver for every run, ended when the benchmark ends.
wineserver -p
trap 'wineserver -k 2> /dev/null || true; rm -rf "$out"' EXIT
mkdir -p "$out"
out_windows=$(winepath -w "$out")

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
    wine "$zsfx" make -o "big-$n.exe" --stub "stub-$n.exe" --archive "$(basename "$big_lzh")" --no-settings \
      --force > /dev/null 2>&1)  # the copies repeat the same names on purpose
done

cp "$minimal" "$cache/minimal-window.exe"

# Runs one extraction in a fresh, empty folder and prints its wall time in seconds: "zsfx"
# runs `zsfx.exe extract` on the files of stub 0, a number runs that stub's own file,
# "minimal" runs minimal-window.exe (size is then ignored). A failing member makes the stub
# show a message box and wait, hence the time limit.
run_once() {
  local how=$1 size=$2 start end
  rm -rf "$out" && mkdir -p "$out"
  start=$(date +%s.%N)
  if [[ $how == zsfx ]]; then
    # Its warnings (the copies repeat names) are not the benchmark's output.
    (cd "$cache" && timeout 600 wine "$zsfx" extract "$size-0.exe" -C "$out_windows" > /dev/null 2>&1)
  elif [[ $how == minimal ]]; then
    (cd "$out" && timeout 60 wine "$cache/minimal-window.exe" > /dev/null)
  else
    (cd "$out" && timeout 600 wine "$cache/$size-$how.exe" > /dev/null)
  fi
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f\n", b - a}'
}

# The decoded size of a payload: the sum of its members' original sizes (the large payload
# repeats names, so later copies replace earlier files on disk). These first runs also warm
# the prefix and the page cache, and check that every stub writes what zsfx.exe writes.
tree() { (cd "$out" && find . -type f -exec md5sum {} + | sort); }
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

# calc FORMAT EXPRESSION [VARIABLE=VALUE...]: the expression's value, printed by FORMAT.
calc() {
  local format=$1 expression=$2 variables=() v
  shift 2
  for v; do variables+=(-v "$v"); done
  awk "${variables[@]}" "BEGIN {printf \"$format\", $expression}"
}

mb=$(awk -v b="$big_bytes" -v t="$tiny_bytes" 'BEGIN {printf "%.1f", (b - t) / 1e6}')
run_once minimal - > /dev/null  # its first start, outside the measurements

# Every round runs everything once, alternating, and prints each stub's ratio in that round.
# The order matters: with a fixed order, the stub that always ran right after zsfx.exe had
# the shortest tiny runs (0.13 s against 0.18 to 0.24 s for the stubs after it) and so the
# steepest slope, and merely rotating the list keeps every program's predecessor. So each
# phase of each round runs in its own shuffled order, drawn from ZOLT_BENCH_SEED (printed,
# to repeat a run's orders). minimal-window.exe runs among the tiny runs, under the same load.
seed=${ZOLT_BENCH_SEED:-$$}
RANDOM=$seed
shuffle() {
  local -n list=$1
  local i j t
  for ((i = ${#list[@]} - 1; i > 0; i--)); do
    j=$((RANDOM % (i + 1)))
    t=${list[i]} list[i]=${list[j]} list[j]=$t
  done
}
hows=(zsfx "${!stubs[@]}")
declare -A times
declare -A ratios
echo "large payload ${mb} MB decoded; $rounds rounds (ZOLT_BENCH_SEED=$seed); ratio = slope of the stub / slope of zsfx.exe"
echo "stubs, in the order of each round's figures: ${stubs[*]##*/}"
for ((i = 1; i <= rounds; i++)); do
  declare -A round=()
  for size in tiny big; do
    order=("${hows[@]}")
    [[ $size == big ]] || order+=(minimal)
    shuffle order
    for how in "${order[@]}"; do
      round[$how.$size]=$(run_once "$how" "$size")
      times[$how.$size]+="${round[$how.$size]} "
    done
  done
  line="round $i: ratio"
  for n in "${!stubs[@]}"; do
    ratio=$(calc %.3f '(sb - st) / (zb - zt)' sb="${round[$n.big]}" st="${round[$n.tiny]}" \
      zb="${round[zsfx.big]}" zt="${round[zsfx.tiny]}")
    ratios[$n]+="$ratio "
    line+=" $(calc %.2f r r="$ratio")"
  done
  line+="; tiny run s:"
  for n in "${!stubs[@]}"; do line+=" ${round[$n.tiny]}"; done
  echo "$line, minimal-window.exe ${round[minimal.tiny]}"
done

echo
echo "medians of $rounds rounds, wall seconds; slope = (large - tiny) / MB"
printf '%-34s %8s %8s %8s %10s %14s\n' "run" "bytes" "tiny s" "large s" "ms per MB" "median ratio"
for how in "${hows[@]}"; do
  tiny=$(median <<< "${times[$how.tiny]}")
  big=$(median <<< "${times[$how.big]}")
  slope=$(awk -v a="$tiny" -v b="$big" -v m="$mb" 'BEGIN {printf "%.2f", (b - a) * 1000 / m}')
  if [[ $how == zsfx ]]; then
    label="wine zsfx.exe extract" bytes=- ratio=1.00
  else
    label="wine file.exe: $(basename "${stubs[how]}")" bytes=$(stat -c %s "${stubs[how]}")
    ratio=$(calc %.2f r r="$(median <<< "${ratios[$how]}")")
  fi
  printf '%-34s %8s %8s %8s %10s %14s\n' "$label" "$bytes" "$tiny" "$big" "$slope" "$ratio"
done

# Start-up: the stub's whole run on the tiny payload against the minimal GUI program's.
minimal_s=$(median <<< "${times[minimal.tiny]}")
echo
echo "start-up: minimal-window.exe ${minimal_s} s (median); limit: stub tiny run at most ${startup_limit} s more"
slow=0
for n in "${!stubs[@]}"; do
  tiny=$(median <<< "${times[$n.tiny]}")
  over=$(calc %.3f 't - m' t="$tiny" m="$minimal_s")
  verdict=ok
  if awk -v o="$over" -v l="$startup_limit" 'BEGIN {exit !(o > l)}'; then verdict="TOO SLOW" slow=1; fi
  printf '  %-32s tiny run %s s, %+.3f s against minimal-window.exe: %s\n' "$(basename "${stubs[n]}")" "$tiny" "$over" "$verdict"
done

# What the check of the whole payload before the first write costs: zsfx.exe list walks
# every header and, when the file has the trailer, reads it all for its CRC-32; the same
# file without its trailer is walked only.
head -c -12 "$cache/big-0.exe" > "$cache/big-untrailed.exe"
checks_with= checks_without=
for ((i = 0; i < rounds; i++)); do
  for file in big-0 big-untrailed; do
    start=$(date +%s.%N)
    (cd "$cache" && wine "$zsfx" list "$file.exe" > /dev/null 2>&1)
    took=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.3f", b - a}')
    if [[ $file == big-0 ]]; then checks_with+="$took "; else checks_without+="$took "; fi
  done
done
with=$(median <<< "$checks_with")
without=$(median <<< "$checks_without")
echo "payload check of the large file (zsfx.exe list, medians): with the CRC-32 pass ${with} s, headers only ${without} s"
rm -f "$cache/big-untrailed.exe"
exit $slow
