#!/usr/bin/env bash
# Installs everything the build, the tests, the demo, the packages and the benchmarks need on
# Debian 12. dpkg-dev: the .deb's library dependencies (dpkg-shlibdeps). jlha-utils, binutils
# and the manual-page and library packages: the benchmark data (bench/make-data.sh). locales:
# the Japanese and English locales under which the Wine tests run a file that follows the
# user's display language.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev nlohmann-json3-dev \
  g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-x86-64 \
  wine64 wine xvfb xauth x11-utils fonts-ipafont-gothic imagemagick \
  gzip libdeflate-tools time python3 ca-certificates dpkg-dev jlha-utils binutils \
  lhasa 7zip unar \
  manpages manpages-dev manpages-de manpages-fr manpages-fr-dev manpages-ja manpages-ja-dev \
  libllvm14 osslsigncode openssl locales >/dev/null
for l in ja_JP en_US; do
  locale -a | grep -qix "$l.utf-\?8" || $SUDO localedef -i "$l" -f UTF-8 "$l.UTF-8"
done
