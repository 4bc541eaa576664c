#!/usr/bin/env bash
# Every test: the host suite (unit tests, the corpus through zsfx, the corpus through zsfx.exe
# under Wine, the stub under Wine and Xvfb), the Debian package and the Windows zip, the same
# host suite under ASan/UBSan, and each fuzz target for a short run over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
. scripts/lib/build.sh
build_windows_and_host
ctest --preset host

# The packages as users get them: the .deb unpacked into a temporary root, the zip under Wine.
./scripts/package.sh
tests/package/test-deb.sh
tests/package/test-zip.sh

cmake --preset host-asan >/dev/null
cmake --build --preset host-asan
ctest --preset host-asan -E 'under_wine|wine\.'

./scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
