#!/usr/bin/env bash
# Installs everything the build, the tests, the demo, the packages and the benchmarks need on
# Debian 12. dpkg-dev: the .deb's library dependencies (dpkg-shlibdeps). jlha-utils, binutils
# and the manual-page and library packages: the benchmark data (bench/make-data.sh).
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev nlohmann-json3-dev \
  g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-x86-64 \
  wine64 wine xvfb xauth fonts-ipafont-gothic imagemagick \
  gzip libdeflate-tools time python3 ca-certificates dpkg-dev jlha-utils binutils \
  manpages manpages-dev manpages-de manpages-fr manpages-fr-dev manpages-ja manpages-ja-dev \
  libllvm14 >/dev/null
