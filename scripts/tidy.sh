#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over src/ with the compile commands of the
# mingw build, so the Win32 files see the mingw-w64 headers. Fails on any
# finding.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
db=$root/build/mingw/compile_commands.json
[ -f "$db" ] || { echo "$db is missing: configure the mingw preset first (make build)" >&2; exit 2; }
python3 -c 'import json, sys
for entry in json.load(open(sys.argv[1])):
    if entry["file"].startswith(sys.argv[2]): print(entry["file"])' "$db" "$root/src/" |
    sort -u | xargs -P 2 -n 4 clang-tidy -p "$root/build/mingw" --quiet --extra-arg=--target=i686-w64-mingw32 \
    --extra-arg=-Wno-ignored-optimization-argument  # gcc-only LTO flags of the mingw build
