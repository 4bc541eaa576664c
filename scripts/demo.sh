#!/usr/bin/env bash
# The main job: builds the Windows stub, zsfx for Linux and Windows, makes a self-extracting
# file of samples/, runs it under Wine (headless, Xvfb) and lists what it extracted.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
./scripts/install-deps.sh
. scripts/lib/build.sh
. scripts/lib/wine-env.sh
build_windows_and_host

zsfx=build/host/tools/zsfx/zsfx
out=build/demo
rm -rf "$out" && mkdir -p "$out/run"
"$zsfx" make -o "$out/samples-sfx.exe" --stub build/windows/bin/zoltsfx-stub.exe --from samples --no-settings
echo "== made $out/samples-sfx.exe ($(stat -c %s "$out/samples-sfx.exe") bytes); its members:"
"$zsfx" list "$out/samples-sfx.exe"

echo "== running it under Wine in $out/run"
wine_prepare_prefix
cp "$out/samples-sfx.exe" "$out/run/"
(cd "$out/run" && timeout 300 xvfb-run -a wine samples-sfx.exe)
rm "$out/run/samples-sfx.exe"
echo "== extracted by the stub:"
(cd "$out/run" && find . -mindepth 1 | sort | while read -r f; do
  if [ -f "$f" ]; then printf '%10s  %s\n' "$(stat -c %s "$f")" "$f"; else printf '%10s  %s\n' "<dir>" "$f"; fi
done)
diff -r samples "$out/run" && echo "== identical to samples/"
