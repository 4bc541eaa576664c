#!/bin/sh
# Fails the build when the stub is larger than its limit: every self-extracting file carries
# it, and the limit is shared by everything the stub has to do.
set -eu
stub=$1
limit=$2
size=$(wc -c < "$stub")
if [ "$size" -gt "$limit" ]; then
  echo "check_size: $stub is $size bytes, more than its limit of $limit" >&2
  exit 1
fi
