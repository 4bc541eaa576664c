#!/usr/bin/env bash
# Decoding speed of `zsfx test` (decode + CRC, nothing written) against zlib's `gzip -dc` on
# a `gzip -6` of the same bytes, with libdeflate-gunzip for reference, in one run.
#
#   bench/run-decode-bench.sh [runs]     (default 5 runs; the fastest of each is reported)
#
# Builds zsfx (host preset) when needed. The data: see bench/bench-data.sh (../shared/bench,
# else made once into build/bench-data). The gzip file is made once per data set, by
# extracting an archive with zsfx, into build/bench-cache.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
zsfx=${ZSFX:-$root/build/host/tools/zsfx/zsfx}
cache=$root/build/bench-cache
runs=${1:-5}

if [[ ! -x $zsfx ]]; then
  (cd "$root" && cmake --preset host > /dev/null && cmake --build --preset host --target zsfx > /dev/null)
fi
source "$root/bench/bench-data.sh"
[[ -x /usr/bin/time ]] || { echo "needs GNU time (/usr/bin/time)" >&2; exit 1; }
have_libdeflate=0
command -v libdeflate-gunzip > /dev/null && have_libdeflate=1

# Both archives hold the same two members (text.dat, bin.dat), so one gzip file serves both;
# the archive's size tells the data sets apart.
mkdir -p "$cache"
gz=$cache/mixed-$(stat -c %s "$bench_data/mixed-lh5.lzh").gz
if [[ ! -s $gz ]]; then
  echo "making $gz (once)" >&2
  rm -rf "$cache/extract" && mkdir -p "$cache/extract"
  "$zsfx" extract "$bench_data/mixed-lh5.lzh" -C "$cache/extract" > /dev/null
  cat "$cache/extract/text.dat" "$cache/extract/bin.dat" | gzip -6 > "$gz.tmp"
  mv "$gz.tmp" "$gz"
  rm -rf "$cache/extract"
fi

# Runs a command `runs` times; prints "<fastest user seconds> <peak RSS in MiB>".
measure() {
  local best="" peak=0 log
  log=$(mktemp)
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -v "$@" > /dev/null 2> "$log" || { cat "$log" >&2; rm -f "$log"; return 1; }
    local user rss
    user=$(awk -F': ' '/User time \(seconds\)/ {print $2}' "$log")
    rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
    if [[ -z $best ]] || awk -v a="$user" -v b="$best" 'BEGIN {exit !(a < b)}'; then best=$user; fi
    ((rss > peak)) && peak=$rss
  done
  rm -f "$log"
  awk -v u="$best" -v r="$peak" 'BEGIN {printf "%.2f %.1f\n", u, r / 1024}'
}

read -r gzip_user gzip_rss < <(measure gzip -dc "$gz")
if ((have_libdeflate)); then
  read -r deflate_user deflate_rss < <(measure libdeflate-gunzip -c "$gz")
fi

echo "data: $bench_data"
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores; fastest of $runs runs"
printf '%-22s %10s %10s %8s\n' "command" "user s" "peak MiB" "ratio"
printf '%-22s %10s %10s %8s\n' "gzip -dc" "$gzip_user" "$gzip_rss" "1.00"
if ((have_libdeflate)); then
  printf '%-22s %10s %10s %8s\n' "libdeflate" "$deflate_user" "$deflate_rss" \
    "$(awk -v a="$deflate_user" -v b="$gzip_user" 'BEGIN {printf "%.2f", a / b}')"
fi
status=0
for name in mixed-lh5 mixed-lh7; do
  archive=$bench_data/$name.lzh
  read -r user rss < <(measure "$zsfx" test "$archive")
  ratio=$(awk -v a="$user" -v b="$gzip_user" 'BEGIN {printf "%.2f", a / b}')
  printf '%-22s %10s %10s %8s\n' "zsfx test $name" "$user" "$rss" "$ratio"
  awk -v r="$ratio" 'BEGIN {exit !(r <= 0.5)}' || { echo "  ratio above the 0.5 target" >&2; status=1; }
done
exit $status
