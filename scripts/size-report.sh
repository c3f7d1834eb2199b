#!/usr/bin/env bash
# Prints the loader's size against its budget, the DLLs it imports, its
# sections' bytes and padding, and (given its unstripped twin) the largest
# symbols.
set -euo pipefail
exe=${1:-dist/prjLomdra.exe}
twin=${2:-build/mingw/twin/prjLomdra.exe}
python3 "$(dirname "$0")/size_report.py" "$exe" "$twin"
