#!/usr/bin/env bash
# Builds everything and runs every test: a Release build with all tests, then the
# threaded tests (label "threads") again under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/test -j "$jobs"
status=0
ctest --test-dir build/test --output-on-failure -j "$jobs" || status=1

if [ "${VARNOLET_SKIP_TSAN:-0}" != "1" ]; then
    cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNOLET_SANITIZER=thread \
        -DVARNOLET_BUILD_BENCH=OFF
    # Only the programs that hold threaded tests are built again.
    mapfile -t programs < <(grep -l 'LABELS threads' -r tests --include CMakeLists.txt --include '*.cmake' | xargs -r sed -n 's/.*NAME \(test_[a-z_]*\).*/\1/p' | sort -u)
    if [ ${#programs[@]} -gt 0 ]; then
        cmake --build build/tsan -j "$jobs" --target "${programs[@]}"
        TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
            ctest --test-dir build/tsan --output-on-failure -j "$jobs" -L threads || status=1
    fi
fi
exit $status
