#!/usr/bin/env bash
# Every test: the host suite (unit tests, the corpus through zsfx, the corpus through zsfx.exe
# under Wine, the stub under Wine and Xvfb), the same host suite under ASan/UBSan, and each
# fuzz target for a short run over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
. scripts/lib/build.sh
build_windows_and_host
ctest --preset host

cmake --preset host-asan >/dev/null
cmake --build --preset host-asan
ctest --preset host-asan -E 'under_wine|wine\.'

./scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
