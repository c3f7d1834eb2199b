#!/usr/bin/env bash
# Prints the loader's size against its budget and the DLLs it imports.
set -euo pipefail
exe=${1:-dist/prjLomdra.exe}
budget=$((160 * 1024))
size=$(stat -c %s "$exe")
printf '==> %s: %d bytes (%d KiB of a %d KiB budget)\n' "$exe" "$size" $((size / 1024)) $((budget / 1024))
printf '    imports: %s\n' "$(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | tr '\n' ' ')"
[ "$size" -le "$budget" ] || echo "    warning: over budget"
