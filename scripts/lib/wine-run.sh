#!/bin/sh
# Runs a command with the project's Wine set-up (CTest's tests of zsfx.exe use it):
#   scripts/lib/wine-run.sh COMMAND [ARG...]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/wine-env.sh"
wine_prepare_prefix
exec "$@"
