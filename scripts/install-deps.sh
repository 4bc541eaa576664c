#!/usr/bin/env bash
# Installs everything the build, the tests, the demo and the benchmarks need on Debian 12.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev nlohmann-json3-dev \
  g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-x86-64 \
  wine64 wine xvfb xauth fonts-ipafont-gothic imagemagick \
  gzip libdeflate-tools time python3 ca-certificates \
  lhasa 7zip unar >/dev/null
