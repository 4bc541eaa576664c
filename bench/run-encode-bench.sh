#!/usr/bin/env bash
# Encoder benchmark, one run: packs the 80 MB of benchmark data (text.dat and bin.dat, taken
# out of mixed-lh7.lzh with `zsfx extract`) with `zsfx pack` for every method and level, and
# prints archive size and user CPU time beside gzip -6 and gzip -9 of the same bytes and
# beside the archives an independent encoder made (mixed-lh5.lzh, mixed-lh7.lzh).
# Every archive made here is checked with `zsfx test`, whose user time (decoding plus CRC)
# is shown too, since the stub decodes what is packed here on every installation.
#   bench/run-encode-bench.sh [DATA_DIR]        (default: see bench/bench-data.sh)
#   LEVELS="normal" METHODS="lh7" bench/run-encode-bench.sh   to run a subset
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
ZOLT_BENCH_DATA=${1:-${ZOLT_BENCH_DATA:-}}
source bench/bench-data.sh
methods=${METHODS:-"lh5 lh6 lh7"}
levels=${LEVELS:-"fast normal best"}

cmake --preset host >/dev/null
cmake --build --preset host --target zsfx >/dev/null
zsfx=$root/build/host/tools/zsfx/zsfx

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/data"
"$zsfx" extract "$bench_data/mixed-lh7.lzh" -C "$work/data" >/dev/null
# A set made by bench/make-data.sh lists its files' SHA-256.
if [ -f "$bench_data/SHA256SUMS" ]; then
  (cd "$work/data" && grep -E ' (text|bin)\.dat$' "$bench_data/SHA256SUMS" | sha256sum --check --quiet -)
fi
input=$(( $(stat -c %s "$work/data/text.dat") + $(stat -c %s "$work/data/bin.dat") ))

# User CPU seconds of a command (its output discarded).
user_time() { /usr/bin/time -f %U -o "$work/time" "$@" >/dev/null; cat "$work/time"; }

ref5=$(stat -c %s "$bench_data/mixed-lh5.lzh")
ref7=$(stat -c %s "$bench_data/mixed-lh7.lzh")
gz6_time=$(user_time sh -c "gzip -6 -c '$work/data/text.dat' '$work/data/bin.dat' > '$work/g6.gz'")
gz9_time=$(user_time sh -c "gzip -9 -c '$work/data/text.dat' '$work/data/bin.dat' > '$work/g9.gz'")
gz6=$(stat -c %s "$work/g6.gz")
gz9=$(stat -c %s "$work/g9.gz")

printf 'input: %d bytes (text.dat + bin.dat)\n' "$input"
# User time of decoding and checking an archive (zsfx test, nothing written).
test_time() {
  /usr/bin/time -f %U -o "$work/time" "$zsfx" test "$1" >/dev/null 2>"$work/test-err" ||
    { echo "zsfx test failed for $1:" >&2; cat "$work/test-err" >&2; exit 1; }
  cat "$work/time"
}
gz6_decode=$(user_time gzip -dc "$work/g6.gz")

printf '%-22s %12s %8s %10s %10s %9s %9s\n' what bytes ratio vs-lh5ref vs-lh7ref pack-s decode-s
row() {  # name bytes pack-seconds decode-seconds
  printf '%-22s %12d %7.2f%% %+9.2f%% %+9.2f%% %9s %9s\n' "$1" "$2" "$(echo "100*$2/$input" | bc -l)" \
    "$(echo "100*($2-$ref5)/$ref5" | bc -l)" "$(echo "100*($2-$ref7)/$ref7" | bc -l)" "$3" "$4"
}
row "independent -lh5-" "$ref5" - "$(test_time "$bench_data/mixed-lh5.lzh")"
row "independent -lh7-" "$ref7" - "$(test_time "$bench_data/mixed-lh7.lzh")"
row "gzip -6" "$gz6" "$gz6_time" "$gz6_decode"
row "gzip -9" "$gz9" "$gz9_time" -
for method in $methods; do
  for level in $levels; do
    archive="$work/$method-$level.lzh"
    t=$(user_time "$zsfx" pack "$archive" "$work/data" --method "$method" --level "$level")
    row "zsfx $method $level" "$(stat -c %s "$archive")" "$t" "$(test_time "$archive")"
  done
done
echo "(time budget at the default level: gzip -6, ${gz6_time} s user)"
