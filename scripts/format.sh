#!/usr/bin/env bash
# Formats every C++ source of the project with clang-format (.clang-format).
# With --check it changes nothing and fails, naming the places, when a file
# is not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src tests tools resources -name '*.cpp' -o -name '*.h' | sort)
if [ "${1:-}" = --check ]; then
    if ! out=$(clang-format --style=file --dry-run --Werror "${files[@]}" 2>&1); then
        grep -q clang-format-violations <<<"$out" || { echo "$out" >&2; exit 1; }
        echo "Not in the project's style (make format rewrites them):" >&2
        grep clang-format-violations <<<"$out" | cut -d: -f1 | sort -u | sed 's/^/    /' >&2
        exit 1
    fi
else
    clang-format --style=file -i "${files[@]}"
fi
