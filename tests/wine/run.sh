#!/usr/bin/env bash
# Runs the stub's Windows tests under Wine and a virtual X server.
#
#   tests/wine/run.sh [SCENARIO...]
#
# Needs the windows preset built (build/windows/bin: zoltsfx-stub.exe, driver.exe), wine,
# xvfb-run and python3. Environment: ZOLT_WINDOWS_BUILD (build folder), ZOLT_WINEPREFIX
# (default build/wineprefix), ZOLT_CORPUS (default tests/corpus), ZOLT_BIG_MIB (size of
# the large member of the abort tests, default 256), ZOLT_ZSFX (a Linux zsfx, default
# build/host/tools/zsfx/zsfx), ZOLT_MAKE_METHOD (its packing method, default lh5).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${ZOLT_WINDOWS_BUILD:-$root/build/windows}
corpus=${ZOLT_CORPUS:-$root/tests/corpus}
stub=$build/bin/zoltsfx-stub.exe
driver=$build/bin/driver.exe

# Missing prerequisites skip the tests (exit code 77 for CTest), except in CI.
skip() {
  echo "run.sh: $1" >&2
  [ "${CI:-}" = true ] && exit 2
  echo "run.sh: Wine tests skipped" >&2
  exit 77
}
for tool in wine xvfb-run python3; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[ -f "$stub" ] && [ -f "$driver" ] || skip "build the windows preset first ($stub, $driver)"
# The corpus is part of the repository: its absence is an error, never a reason to skip.
[ -f "$corpus/manifest.json" ] || { echo "run.sh: no test corpus at $corpus" >&2; exit 2; }

. "$root/scripts/lib/wine-env.sh"
wine_prepare_prefix

work=$(mktemp -d /tmp/zolt-wine.XXXXXX)
trap 'rm -rf "$work"' EXIT
python3 "$here/make_cases.py" "$stub" "$driver" "$corpus" "$work" "${ZOLT_BIG_MIB:-256}"
cp "$driver" "$work/driver.exe"
# With a host build of zsfx: a self-extracting file that zsfx make writes from samples/, packed
# with ZOLT_MAKE_METHOD (default lh5).
zsfx=${ZOLT_ZSFX:-$root/build/host/tools/zsfx/zsfx}
if [ -x "$zsfx" ]; then
  "$zsfx" make -o "$work/cases/zsfxmade.exe" --stub "$stub" --from "$root/samples" --title "Zolt サンプル" \
    --dest made --startmenu off --desktop off --sendto off --method "${ZOLT_MAKE_METHOD:-lh5}"
fi

# One X server and one wineserver for all scenarios.
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  work=$0 corpus=$1
  shift
  wine "$work/driver.exe" "$(winepath -w "$work")" "$(winepath -w "$corpus/files")" "$@"
  status=$?
  wineserver -k 2>/dev/null || true
  exit $status
' "$work" "$corpus" "$@" || status=$?

# The stub's extraction of the zsfx-made file equals zsfx's own, names, sizes, bytes and
# modification times.
if [ -f "$work/runs/zsfxmade/made/README.txt" ] || [ -d "$work/runs/zsfxmade/made" ]; then
  mkdir -p "$work/by-zsfx"
  "$zsfx" extract "$work/cases/zsfxmade.exe" -C "$work/by-zsfx" >/dev/null
  # Folders get no time stamp from either; files keep the member's.
  listing() { (cd "$1" && { find . -mindepth 1 -type d -printf 'dir %p\n'; find . -type f -printf 'file %s %T@ %p\n' | sed 's/\.[0-9]* / /'; } | sort); }
  if listing "$work/runs/zsfxmade/made" | diff - <(listing "$work/by-zsfx") >/dev/null 2>&1 &&
     diff -r "$work/runs/zsfxmade/made" "$work/by-zsfx" >/dev/null; then
    echo "PASS zsfx-made: the stub under Wine and zsfx extract write the same tree"
  else
    echo "FAIL zsfx-made: the stub under Wine and zsfx extract differ:"
    diff <(listing "$work/runs/zsfxmade/made") <(listing "$work/by-zsfx") || true
    status=1
  fi
fi
exit "${status:-0}"
