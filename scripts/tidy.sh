#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over src/ with the compile commands of the
# mingw build, so the Win32 files see the mingw-w64 headers. Fails on any
# finding.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
db=$root/build/mingw/compile_commands.json
[ -f "$db" ] || { echo "$db is missing: configure the mingw preset first (make build)" >&2; exit 2; }
# A copy of the commands without gcc's LTO and inlining flags: newer clang
# refuses -ffat-lto-objects for this target and knows no
# -fno-inline-functions-called-once, and neither changes anything tidy sees.
commands=$(mktemp -d)
trap 'rm -rf "$commands"' EXIT
python3 -c 'import json, sys
entries = [dict(e, command=" ".join(w for w in e["command"].split() if not w.startswith(("-flto", "-ffat-lto", "-fno-inline-functions-called"))))
           for e in json.load(open(sys.argv[1])) if e["file"].startswith(sys.argv[2])]
json.dump(entries, open(sys.argv[3] + "/compile_commands.json", "w"))
print("\n".join(sorted({e["file"] for e in entries})))' "$db" "$root/src/" "$commands" |
    xargs -P 2 -n 4 clang-tidy -p "$commands" --quiet --extra-arg=--target=i686-w64-mingw32
