#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and AddressSanitizer and runs each for
# FUZZ_SECONDS (default 60) seconds. FUZZ_SECONDS=0 runs each once over its seed inputs
# only, without mutating them: the quick, repeatable check CI makes.
# Usage: scripts/fuzz.sh [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARNOLET_BUILD_FUZZ=ON -DVARNOLET_SANITIZER=address -DVARNOLET_BUILD_TESTS=OFF \
    -DVARNOLET_BUILD_BENCH=OFF -DVARNOLET_WERROR=OFF
# The fuzzer programs only: AUTOMOC adds helper targets named after them
# (fuzz_x_autogen, fuzz_x_autogen_timestamp_deps), which are not programs.
mapfile -t all < <(cmake --build build/fuzz --target help | sed -n 's/^\(fuzz_[a-z0-9_]*\):.*/\1/p' \
    | grep -v '_autogen\(_timestamp_deps\)\?$' | sort -u)
if [ ${#all[@]} -eq 0 ]; then
    echo "fuzz.sh: no fuzz targets found" >&2
    exit 1
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
cmake --build build/fuzz --target "${targets[@]}"
status=0
for t in "${targets[@]}"; do
    corpus=build/fuzz/corpus-$t
    mkdir -p "$corpus"
    seeds=fuzz/seeds/$t
    if [ "$seconds" = 0 ]; then
        echo "== $t (the seeds in $seeds, once)"
        [ -d "$seeds" ] || { echo "fuzz.sh: $t has no seeds in $seeds" >&2; status=1; continue; }
        run=(-runs=0 "$seeds")
    else
        echo "== $t ($seeds, ${seconds}s)"
        run=(-max_total_time="$seconds" "$corpus")
        [ -d "$seeds" ] && run+=("$seeds")
    fi
    if ! build/fuzz/fuzz/$t -rss_limit_mb=4096 -artifact_prefix=build/fuzz/ "${run[@]}"; then
        status=1
    fi
done
exit $status
