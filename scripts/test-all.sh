#!/usr/bin/env bash
# Every test: the host suite (unit tests, the corpus through zsfx, the corpus through zsfx.exe
# under Wine, the stub under Wine and Xvfb), the same host suite under ASan/UBSan, and each
# fuzz target for a minute (FUZZ_SECONDS) over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

cmake --preset host-asan >/dev/null
cmake --build --preset host-asan
ctest --preset host-asan -E 'under_wine|wine\.'

./scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
