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
for tool in wine xvfb-run xprop python3 openssl osslsigncode; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[ -f "$stub" ] && [ -f "$driver" ] && [ -f "$build/bin/planted.dll" ] ||
  skip "build the windows preset first ($stub, $driver, planted.dll)"
# The corpus is part of the repository: its absence is an error, never a reason to skip.
[ -f "$corpus/manifest.json" ] || { echo "run.sh: no test corpus at $corpus" >&2; exit 2; }

. "$root/scripts/lib/wine-env.sh"
wine_prepare_prefix

work=$(mktemp -d /tmp/zolt-wine.XXXXXX)
trap 'rm -rf "$work"' EXIT
python3 "$here/make_cases.py" "$stub" "$driver" "$corpus" "$work" "${ZOLT_BIG_MIB:-256}"
cp "$driver" "$work/driver.exe"
# The DLL that records its own loading, for the planted-DLL scenario.
cp "$build/bin/planted.dll" "$work/planted.dll"
# With a host build of zsfx: a self-extracting file that zsfx make writes from samples/, packed
# with ZOLT_MAKE_METHOD (default lh5).
zsfx=${ZOLT_ZSFX:-$root/build/host/tools/zsfx/zsfx}
if [ -x "$zsfx" ]; then
  "$zsfx" make -o "$work/cases/zsfxmade.exe" --stub "$stub" --from "$root/samples" --title "Zolt サンプル" \
    --dest made --startmenu off --desktop off --sendto off --method "${ZOLT_MAKE_METHOD:-lh5}"
  # The same file signed afterwards, as a publisher would, with a throw-away certificate.
  openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Zolt SFX test" -days 2 \
    -keyout "$work/test.key" -out "$work/test.crt" >/dev/null 2>&1
  osslsigncode sign -certs "$work/test.crt" -key "$work/test.key" \
    -in "$work/cases/zsfxmade.exe" -out "$work/cases/signed.exe" >/dev/null
  # The signature covers the trailer behind the archive: it must still verify.
  if osslsigncode verify -CAfile "$work/test.crt" -in "$work/cases/signed.exe" >"$work/verify.log" 2>&1; then
    echo "PASS signature: the signed file verifies"
  else
    echo "FAIL signature: the signed file does not verify"; cat "$work/verify.log"; status=1
  fi
fi

# A 4 MiB volume for the free-space scenario, as drive T: of the prefix. Mounting needs root,
# as CI has; elsewhere the scenario says it skips.
small=$work/small
mkdir -p "$small"
if mount -t tmpfs -o size=4m zolt-small "$small" 2>/dev/null; then
  trap 'umount "$small" 2>/dev/null; rm -rf "$work"' EXIT
  ln -sfn "$small" "$WINEPREFIX/dosdevices/t:"
  # For the disk that fills during a member: an installed tree whose sub folder lies on the
  # small volume, while the tree itself has room.
  mkdir -p "$work/fulldisk/tree" "$small/sub"
  ln -sfn "$small/sub" "$work/fulldisk/tree/sub"
else
  rm -f "$WINEPREFIX/dosdevices/t:"
  [ "${CI:-}" = true ] && { echo "run.sh: cannot mount the small tmpfs the free-space scenario needs" >&2; exit 2; }
fi

# One X server and one wineserver for all scenarios; then the layout scenario again at 144
# and 192 DPI (the prefix's LogPixels, read when the wineserver starts), unless scenarios
# were named that leave it out.
layout_dpis=""
if [ $# -eq 0 ] || printf ' %s ' "$@" | grep -q ' layout '; then layout_dpis="144 192"; fi
# The auto-language scenario again under a Japanese and an English locale, which Wine takes
# as the display language of each process it starts (scripts/install-deps.sh generates both).
locales=""
if [ $# -eq 0 ] || printf ' %s ' "$@" | grep -q ' auto-language '; then
  for l in ja_JP en_US; do
    locale -a | grep -qix "$l.utf-\?8" || skip "the locale $l.UTF-8 is not generated (scripts/install-deps.sh)"
  done
  locales="ja:ja_JP.UTF-8 en:en_US.UTF-8"
fi
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  work=$0 corpus=$1 dpis=$2 locales=$3
  shift 3
  # The X side of the keyboard scenario: the icon that Wine gave a window, read with xprop
  # for the driver, which as a Windows program cannot read X properties.
  ( while :; do
      if [ -f "$work/x11-icon.ask" ]; then
        xprop -id "$(cat "$work/x11-icon.ask")" -notype -f _NET_WM_ICON 32c "=\$0+" _NET_WM_ICON >"$work/x11-icon.tmp" 2>&1
        rm -f "$work/x11-icon.ask"
        mv "$work/x11-icon.tmp" "$work/x11-icon.answer"
      fi
      sleep 0.2
    done ) &
  xside=$!
  dpi() { wine reg add "HKCU\Control Panel\Desktop" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; wineserver -k 2>/dev/null; }
  wine "$work/driver.exe" "$(winepath -w "$work")" "$(winepath -w "$corpus/files")" "$@"
  status=$?
  for n in $dpis; do
    dpi "$n"
    wine "$work/driver.exe" "$(winepath -w "$work")" "$(winepath -w "$corpus/files")" layout || status=1
  done
  [ -n "$dpis" ] && dpi 96
  for pair in $locales; do
    LC_ALL=${pair#*:} ZOLT_EXPECTED_UI=${pair%%:*} \
      wine "$work/driver.exe" "$(winepath -w "$work")" "$(winepath -w "$corpus/files")" auto-language || status=1
  done
  kill $xside
  wineserver -k 2>/dev/null || true
  exit $status
' "$work" "$corpus" "$layout_dpis" "$locales" "$@" || status=$?

# The stub's extraction under Wine equals zsfx's own on Linux: names, sizes, bytes and
# modification times. Folders get no time stamp from either; files keep the member's.
listing() { (cd "$1" && { find . -mindepth 1 -type d -printf 'dir %p\n'; find . -type f -printf 'file %s %T@ %p\n' | sed 's/\.[0-9]* / /'; } | sort); }
same_tree() {  # NAME STUB_TREE SELF_EXTRACTING_FILE
  [ -d "$2" ] || return 0  # the scenario did not run
  rm -rf "$work/by-zsfx" && mkdir -p "$work/by-zsfx"
  "$zsfx" extract "$3" -C "$work/by-zsfx" >/dev/null || true
  if listing "$2" | diff - <(listing "$work/by-zsfx") >/dev/null 2>&1 && diff -r "$2" "$work/by-zsfx" >/dev/null; then
    echo "PASS $1: the stub under Wine and zsfx extract write the same tree"
  else
    echo "FAIL $1: the stub under Wine and zsfx extract differ:"
    diff <(listing "$2") <(listing "$work/by-zsfx") || true
    status=1
  fi
}
# zsfx extract checks the room as the stub does, before it creates anything.
if [ -x "$zsfx" ] && mountpoint -q "$small"; then
  if "$zsfx" extract "$work/cases/five-mib.exe" -C "$small/linux" 2>"$work/space.log"; then
    echo "FAIL free-space: zsfx extract wrote 5 MiB into 4 MiB"; status=1
  elif grep -q "not enough free space" "$work/space.log" && [ ! -e "$small/linux" ]; then
    echo "PASS free-space: zsfx extract refuses before writing"
  else
    echo "FAIL free-space: zsfx extract: $(cat "$work/space.log")"; status=1
  fi
fi
# zsfx extract over the same installed tree: the member that does not fit fails, and its
# target and the members after it keep version 1.
if [ -x "$zsfx" ] && mountpoint -q "$small"; then
  for i in 0 1 2 3 4; do printf 'version 1 of file%d.bin' "$i" > "$work/fulldisk/tree/file$i.bin"; done
  printf 'version 1 of file2.bin' > "$small/sub/file2.bin"
  rm -f "$work/fulldisk/tree/file2.bin"
  "$zsfx" extract "$work/cases/tree-full.exe" -C "$work/fulldisk/tree" 2>"$work/full.log" &&
    { echo "FAIL full: zsfx extract reported success"; status=1; }
  kept=yes
  for f in file3.bin file4.bin sub/file2.bin; do
    grep -q "^version 1 of $(basename "$f")\$" "$work/fulldisk/tree/$f" || kept=no
  done
  if [ "$kept" = yes ] && grep -q "sub/file2.bin を書き込めません" "$work/full.log" && ! ls "$small/sub" | grep -q zsfx-part; then
    echo "PASS full: zsfx extract keeps version 1 when the disk fills"
  else
    echo "FAIL full: zsfx extract on a full disk: $(cat "$work/full.log")"; status=1
  fi
fi
[ -L "$WINEPREFIX/dosdevices/t:" ] && rm -f "$WINEPREFIX/dosdevices/t:"
if [ -x "$zsfx" ]; then
  same_tree zsfx-made "$work/runs/zsfxmade/made" "$work/cases/zsfxmade.exe"
  same_tree signed "$work/runs/signed/made" "$work/cases/signed.exe"
  same_tree refused-names "$work/runs/refused" "$work/cases/refused.exe"
fi
exit "${status:-0}"
