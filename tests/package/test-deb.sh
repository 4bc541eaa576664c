#!/usr/bin/env bash
# The Debian package as a user gets it: unpacked into a temporary root (dpkg-deb -x) and run
# from there, far from the source and build trees, so that its zsfx can only find the stub
# the package installed.
#
#   tests/package/test-deb.sh [PACKAGE.deb]      (default: the one scripts/package.sh made)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ $# -gt 0 ]; then debs=("$1"); else debs=("$root"/build/zsfx_*_amd64.deb); fi
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || { echo "test-deb: run scripts/package.sh first" >&2; exit 2; }
deb=$(realpath "${debs[0]}")
version=$(dpkg-deb -f "$deb" Version)

work=$(mktemp -d /tmp/zolt-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL package: $*" >&2; exit 1; }

dpkg-deb -x "$deb" "$work/root"
zsfx=$work/root/usr/bin/zsfx
for file in usr/bin/zsfx usr/share/zsfx/zoltsfx-stub.exe usr/share/man/man1/zsfx.1 usr/share/doc/zsfx/copyright; do
  [ -f "$work/root/$file" ] || fail "$file is missing"
done
# The shared libraries zsfx links are declared (dpkg-shlibdeps).
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6; do
  grep -q "$library" <<<"$depends" || fail "Depends ($depends) does not name $library"
done
# No path into the tree it was built in.
if grep -aqF "$root" "$zsfx"; then fail "zsfx holds the path $root"; fi

cd "$work"
"$zsfx" --version >version.txt || fail "zsfx --version exits with $?"
grep -qx "zsfx $version (Zolt SFX)" version.txt || fail "--version says: $(head -n1 version.txt), the package is $version"
grep -q "MIT-0" version.txt || fail "--version names no license"

cp -r "$root/samples" samples
"$zsfx" make --from samples -o demo.exe --no-settings >/dev/null || fail "zsfx make exits with $?"
"$zsfx" test demo.exe >test.txt 2>&1 || fail "zsfx test demo.exe exits with $?: $(cat test.txt)"
stub=$work/root/usr/share/zsfx/zoltsfx-stub.exe
cmp -s -n "$(stat -c %s "$stub")" "$stub" demo.exe || fail "demo.exe does not start with the installed stub"
"$zsfx" extract demo.exe -C out >/dev/null && diff -r samples out >/dev/null || fail "demo.exe does not extract to samples/"

# Without the installed stub, make says where it looked instead of taking one from elsewhere.
mkdir alone && cp "$zsfx" alone/zsfx
status=0
alone/zsfx make --from samples -o none.exe --no-settings 2>err.txt || status=$?
[ "$status" -eq 2 ] && grep -q "no stub found" err.txt && [ ! -e none.exe ] ||
  fail "zsfx without a stub: exit $status, $(head -n1 err.txt)"

echo "PASS package: $(basename "$deb") installs zsfx $version, which makes and tests demo.exe with its own stub"
