#!/bin/sh
# Renders the stub's destination dialog and its progress window under Wine on a virtual X
# server with a Japanese font, and saves them as PNG files.
#
#   scripts/screenshots.sh [OUTPUT_DIR]          (default docs/)
#
# Needs the windows preset built, wine, Xvfb, ImageMagick (import, convert) and the IPA
# Gothic font (fonts-ipafont-gothic). Uses the prefix of the Wine tests (build/wineprefix or
# ZOLT_WINEPREFIX).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/docs}" && cd "${1:-$root/docs}" && pwd)
build=${ZOLT_WINDOWS_BUILD:-$root/build/windows}
corpus=${ZOLT_CORPUS:-$root/tests/corpus}
. "$root/scripts/lib/wine-env.sh"

for tool in wine xvfb-run import convert python3; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is not installed" >&2; exit 2; }
done
work=$(mktemp -d /tmp/zolt-shots.XXXXXX)
trap 'rm -rf "$work"' EXIT
wine_prepare_prefix
python3 "$root/tests/wine/make_cases.py" "$build/bin/zoltsfx-stub.exe" "$build/bin/driver.exe" "$corpus" "$work" 256
cp "$build/bin/driver.exe" "$work/driver.exe"

# At 96 DPI (dialog.png, progress.png), at 144 DPI (dialog-144.png, progress-144.png), and the
# English windows of a file made with --lang en at 96 DPI (dialog-en.png, progress-en.png).
# The DPI is the prefix's LogPixels, read when the wineserver starts.
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  work=$0 out=$1
  status=0
  for shot in 96:shots: 144:shots:-144 96:en-shots:-en; do
    dpi=${shot%%:*} file=${shot#*:} suffix=${file#*:} file=${file%%:*}
    wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    wineserver -k 2>/dev/null
    rm -f "$work"/*.ready "$work"/*.taken
    wine "$work/driver.exe" --screenshots "$(winepath -w "$work")" $file &
    driver=$!
    for name in dialog progress; do
      while [ ! -f "$work/$name.ready" ]; do
        kill -0 $driver 2>/dev/null || { echo "screenshots.sh: the driver ended early" >&2; exit 1; }
        sleep 0.1
      done
      set -- $(cat "$work/$name.ready")
      # A margin of 8 pixels around the window.
      import -window root -crop "$(($3 + 16))x$(($4 + 16))+$(($1 - 8))+$(($2 - 8))" +repage "$out/$name$suffix.png"
      touch "$work/$name.taken"
    done
    wait $driver || status=1
    rm -rf "$(winepath -u "C:\\Program Files\\Zolt")"
  done
  wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  exit $status
' "$work" "$out"
echo "wrote dialog.png, progress.png, dialog-144.png, progress-144.png, dialog-en.png and progress-en.png in $out"
