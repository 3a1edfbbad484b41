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
differing=()
for f in "${files[@]}"; do
    clang-format "$f" | cmp -s - "$f" || differing+=("$f")
done
if [ ${#differing[@]} -gt 0 ]; then
    echo "check-format: ${#differing[@]} of ${#files[@]} files are not formatted (scripts/check-format.sh --fix):" >&2
    printf '  %s\n' "${differing[@]}" >&2
    exit 1
fi
echo "check-format: all ${#files[@]} files formatted"
