#!/usr/bin/env bash
# Formats the project's C++ files with the committed .clang-format.
#     format.sh           rewrite the files in place
#     format.sh --check   list the files that differ and fail (CI)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
mapfile -t files < <(git ls-files '*.h' '*.cpp')
if [ "${1:-}" = "--check" ]; then
    bad=0
    for f in "${files[@]}"; do
        if ! clang-format --style=file --dry-run --Werror "$f" >/dev/null 2>&1; then
            echo "not formatted: $f (run scripts/format.sh)"
            bad=1
        fi
    done
    exit $bad
fi
clang-format --style=file -i "${files[@]}"
