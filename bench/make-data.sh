#!/usr/bin/env bash
# Makes the 80 MB benchmark set from Debian 12 packages that scripts/install-deps.sh installs,
# so that every machine with those package versions makes the same bytes:
#   text.dat       40,000,000 bytes of manual-page text: the pages of MAN_PACKAGES, unpacked,
#                  one after another in sorted path order
#   bin.dat        40,000,000 bytes of x86-64 machine code: the .text sections of the shared
#                  libraries of CODE_PACKAGES, in sorted path order
#   mixed-lh5.lzh  both, packed by jlha (Debian jlha-utils, an encoder independent of ours)
#   mixed-lh7.lzh  with -lh5- and -lh7- at header level 2, so that the decoder benchmark does
#                  not time only our own encoder's output
# and prints their SHA-256.
#
#   bench/make-data.sh [OUT_DIR]        (default build/bench-data)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/bench-data}
size=40000000
# Versions that bookworm has never updated: the set stays the same across point releases.
man_packages="manpages manpages-dev manpages-de manpages-fr manpages-fr-dev manpages-ja manpages-ja-dev"
code_packages="libllvm14 libclang-rt-14-dev"

for package in $man_packages $code_packages jlha-utils binutils; do
  dpkg -s "$package" >/dev/null 2>&1 || { echo "make-data: $package is not installed (scripts/install-deps.sh)" >&2; exit 2; }
done

# Regular files (no links: a page or library under two names counts once) of the packages
# whose paths match a pattern, sorted bytewise.
files_of() {
  local pattern=$1
  shift
  dpkg -L "$@" | grep -E "$pattern" | LC_ALL=C sort -u | while read -r file; do
    if [ -f "$file" ] && [ ! -L "$file" ]; then echo "$file"; fi
  done
}

# Writes the first $size bytes of its input to a file; fails when there are fewer.
take() {
  head -c "$size" >"$1"
  [ "$(stat -c %s "$1")" -eq "$size" ] || { echo "make-data: only $(stat -c %s "$1") bytes for $1" >&2; exit 1; }
}

work=$out.partial
rm -rf "$work" && mkdir -p "$work"
# The producers stop early on a broken pipe once take has its bytes.
files_of '^/usr/share/man/.*\.gz$' $man_packages | while read -r page; do
  gzip -dc "$page" 2>/dev/null || exit 0
done | take "$work/text.dat"
files_of '\.so(\.[0-9]+)*$' $code_packages | while read -r library; do
  objdump -f "$library" 2>/dev/null | grep -q 'elf64-x86-64' || continue
  objcopy -O binary --only-section=.text "$library" "$work/section"
  cat "$work/section" 2>/dev/null || exit 0
done | take "$work/bin.dat"
rm -f "$work/section"

# jlha stores the files' times: fix them, and the members' order.
touch -d @1700000000 "$work/text.dat" "$work/bin.dat"
(cd "$work" && jlha c2o5 mixed-lh5.lzh text.dat bin.dat >/dev/null && jlha c2o7 mixed-lh7.lzh text.dat bin.dat >/dev/null)
(cd "$work" && sha256sum text.dat bin.dat mixed-lh5.lzh mixed-lh7.lzh | tee SHA256SUMS)
rm -rf "$out" && mv "$work" "$out"
echo "benchmark data in $out"
