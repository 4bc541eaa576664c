#!/bin/sh
# Runs a command with the project's Wine set-up (CTest's tests of zsfx.exe use it):
#   scripts/lib/wine-run.sh COMMAND [ARG...]
# The tests start zsfx.exe many times in a row. A wineserver that ends on its own a few
# seconds after its last client can be going away just as the next one connects, which fails
# that run ("recvmsg: Connection reset by peer"); so one server stays up for the whole
# command and is ended after it.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/wine-env.sh"
wine_prepare_prefix
wineserver -p </dev/null >/dev/null 2>&1 || true
status=0
"$@" || status=$?
wineserver -k </dev/null >/dev/null 2>&1 || true
exit $status
