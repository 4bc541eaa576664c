#!/usr/bin/env bash
# Builds the packages of the project's version (the CMake project version) in build/:
#   build/zsfx_<version>_amd64.deb   Debian/Ubuntu: zsfx, the stub, the man page
#   build/zsfx-<version>-win64.zip   Windows: zsfx.exe, the stub, README.md, LICENSE
# scripts/install-deps.sh installs what it needs (dpkg-dev for the package's dependencies).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/build.sh
build_windows_and_host

rm -rf build/cpack build/zsfx_*_amd64.deb build/zsfx-*-win64.zip
cpack --config build/host/CPackConfig.cmake -B "$PWD/build/cpack" >/dev/null
cpack --config build/windows/CPackConfig.cmake -B "$PWD/build/cpack" >/dev/null
for package in build/cpack/zsfx_*_amd64.deb build/cpack/zsfx-*-win64.zip; do
  mv "$package" build/
  echo "made build/$(basename "$package") ($(stat -c %s "build/$(basename "$package")") bytes)"
done
rm -rf build/cpack
