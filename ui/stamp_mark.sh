#!/bin/sh
# Writes "LHA's SFX " (10 bytes, ending in a space) at file offset 36 of the stub: the DOS
# header's reserved words e_oemid, e_oeminfo and e_res2, which the linker leaves zero and
# Windows ignores. Archive tools recognise a self-extracting LZH file by it.
set -eu
stub=$1
if [ "$(od -An -tx1 -j36 -N10 "$stub" | tr -d ' \n')" != "00000000000000000000" ]; then
  echo "stamp_mark: bytes 36..45 of $stub are not the linker's zero reserved words" >&2
  exit 1
fi
printf "LHA's SFX " | dd of="$stub" bs=1 seek=36 conv=notrunc status=none
