#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it (.clang-format),
# and names the files. scripts/check-format.sh --fix formats them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
    mapfile -t differing < <(printf '%s\n' "$report" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error:.*/\1/p' | sort -u)
    echo "check-format: ${#differing[@]} of ${#files[@]} files are not formatted (scripts/check-format.sh --fix):" >&2
    printf '  %s\n' "${differing[@]}" >&2
    exit 1
fi
echo "check-format: all ${#files[@]} files formatted"
