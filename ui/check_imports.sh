#!/bin/sh
# Fails the build when the stub's import table names a DLL other than kernel32 and the C
# runtime: every other DLL must be loaded by loadSystemImports, from System32 only, after
# SetDefaultDllDirectories (see system_imports.cpp).
set -eu
objdump=$1
stub=$2
others=$("$objdump" -p "$stub" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' |
  grep -v -x -e kernel32.dll -e msvcrt.dll || true)
if [ -n "$others" ]; then
  echo "check_imports: $stub imports from $(echo $others): add their functions to ui/system_imports.cpp" >&2
  exit 1
fi
