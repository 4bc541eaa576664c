#!/bin/sh
# Runs the stub's Windows tests under Wine and a virtual X server.
#
#   tests/wine/run.sh [SCENARIO...]
#
# Needs the windows preset built (build/windows/bin: stub.exe, driver.exe), wine,
# xvfb-run and python3. Environment: ZOLT_WINDOWS_BUILD (build folder), ZOLT_WINEPREFIX
# (default build/wineprefix), ZOLT_CORPUS (default ../shared/corpus), ZOLT_BIG_MIB (size of
# the large member of the abort tests, default 256).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${ZOLT_WINDOWS_BUILD:-$root/build/windows}
corpus=${ZOLT_CORPUS:-$root/../shared/corpus}
stub=$build/bin/stub.exe
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
[ -d "$corpus" ] || skip "corpus not found at $corpus"

export WINEPREFIX=${ZOLT_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all
# No .NET or HTML installer prompts, no menu entries on the host for the test shortcuts, and
# no debugger that would keep a crashed process alive.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  # Wine links the user's Desktop, Documents, ... to the host's home folder; the tests
  # create shortcuts and must stay inside the prefix.
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
  done
  wineserver -w
fi

work=$(mktemp -d /tmp/zolt-wine.XXXXXX)
trap 'rm -rf "$work"' EXIT
python3 "$here/make_cases.py" "$stub" "$driver" "$corpus" "$work" "${ZOLT_BIG_MIB:-256}"
cp "$driver" "$work/driver.exe"

# One X server and one wineserver for all scenarios.
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  work=$0 corpus=$1
  shift
  wine reg add "HKCU\\Software\\Wine\\Fonts\\Replacements" /v "MS UI Gothic" /d "IPAGothic" /f >/dev/null 2>&1
  wine "$work/driver.exe" "$(winepath -w "$work")" "$(winepath -w "$corpus/files")" "$@"
  status=$?
  wineserver -k 2>/dev/null || true
  exit $status
' "$work" "$corpus" "$@"
