#!/usr/bin/env bash
# Decoding speed of `zsfx test` (decode + CRC, nothing written) against zlib's `gzip -dc` on
# a `gzip -6` of the same bytes, with libdeflate-gunzip for reference, in one run.
#
#   bench/run-decode-bench.sh [runs]     (default 5 runs; the fastest of each is reported)
#
# Needs a host build (cmake --preset host && cmake --build --preset host) and ../shared/bench.
# The gzip file is made once, by extracting an archive with zsfx, into build/bench-cache.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
zsfx=${ZSFX:-$root/build/host/tools/zsfx/zsfx}
shared=${ZOLT_SHARED:-$root/../shared}
cache=$root/build/bench-cache
runs=${1:-5}

[[ -x $zsfx ]] || { echo "no zsfx at $zsfx: build the host preset first" >&2; exit 1; }
[[ -d $shared/bench ]] || { echo "no benchmark data in $shared/bench" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "needs GNU time (/usr/bin/time)" >&2; exit 1; }
have_libdeflate=0
command -v libdeflate-gunzip > /dev/null && have_libdeflate=1

# Both archives hold the same two members (text.dat, bin.dat), so one gzip file serves both.
mkdir -p "$cache"
if [[ ! -s $cache/mixed.gz ]]; then
  echo "making $cache/mixed.gz (once)" >&2
  rm -rf "$cache/extract" && mkdir -p "$cache/extract"
  "$zsfx" extract "$shared/bench/mixed-lh5.lzh" -C "$cache/extract" > /dev/null
  cat "$cache/extract/text.dat" "$cache/extract/bin.dat" | gzip -6 > "$cache/mixed.gz.tmp"
  mv "$cache/mixed.gz.tmp" "$cache/mixed.gz"
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

read -r gzip_user gzip_rss < <(measure gzip -dc "$cache/mixed.gz")
if ((have_libdeflate)); then
  read -r deflate_user deflate_rss < <(measure libdeflate-gunzip -c "$cache/mixed.gz")
fi

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores; fastest of $runs runs"
printf '%-22s %10s %10s %8s\n' "command" "user s" "peak MiB" "ratio"
printf '%-22s %10s %10s %8s\n' "gzip -dc" "$gzip_user" "$gzip_rss" "1.00"
if ((have_libdeflate)); then
  printf '%-22s %10s %10s %8s\n' "libdeflate" "$deflate_user" "$deflate_rss" \
    "$(awk -v a="$deflate_user" -v b="$gzip_user" 'BEGIN {printf "%.2f", a / b}')"
fi
status=0
for name in mixed-lh5 mixed-lh7; do
  archive=$shared/bench/$name.lzh
  read -r user rss < <(measure "$zsfx" test "$archive")
  ratio=$(awk -v a="$user" -v b="$gzip_user" 'BEGIN {printf "%.2f", a / b}')
  printf '%-22s %10s %10s %8s\n' "zsfx test $name" "$user" "$rss" "$ratio"
  awk -v r="$ratio" 'BEGIN {exit !(r <= 0.5)}' || { echo "  ratio above the 0.5 target" >&2; status=1; }
done
exit $status
