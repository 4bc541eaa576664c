#!/usr/bin/env bash
# The Windows zip as a publisher gets it: unpacked into a temporary folder, its zsfx.exe makes
# a self-extracting file of samples/ there under Wine (finding the stub beside itself), and
# the stub extracts it, under Wine and Xvfb, into exactly samples/.
#
#   tests/package/test-zip.sh [PACKAGE.zip]      (default: the one scripts/package.sh made)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ $# -gt 0 ]; then zips=("$1"); else zips=("$root"/build/zsfx-*-win64.zip); fi
[ "${#zips[@]}" -eq 1 ] && [ -f "${zips[0]}" ] || { echo "test-zip: run scripts/package.sh first" >&2; exit 2; }
zip=$(realpath "${zips[0]}")
. "$root/scripts/lib/wine-env.sh"
wine_prepare_prefix

work=$(mktemp -d /tmp/zolt-zip.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL zip: $*" >&2; exit 1; }

python3 -m zipfile -e "$zip" "$work/unpacked"
folder=$work/unpacked/$(basename "$zip" .zip)
listing=$(cd "$folder" && find . -type f | sort | tr '\n' ' ')
[ "$listing" = "./LICENSE ./README.md ./zoltsfx-stub.exe ./zsfx.exe " ] || fail "the zip holds: $listing"

cd "$folder"
cp -r "$root/samples" samples
wine zsfx.exe make --from samples -o demo.exe --no-settings >/dev/null || fail "zsfx.exe make exits with $?"
cmp -s -n "$(stat -c %s zoltsfx-stub.exe)" zoltsfx-stub.exe demo.exe || fail "demo.exe does not start with the zip's stub"

mkdir run && mv demo.exe run/
(cd run && timeout 300 xvfb-run -a wine demo.exe) || fail "the stub exits with $?"
rm run/demo.exe
diff -r samples run >/dev/null || fail "the stub's extraction differs from samples/: $(diff -rq samples run | head -n3)"
echo "PASS zip: $(basename "$zip"): zsfx.exe made demo.exe with the stub beside it, which extracted samples/ identically"
