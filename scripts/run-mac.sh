#!/usr/bin/env bash
# Builds VarnoletMac and runs it from the build tree (its bundle, Contents/, lies beside
# the program there). Without a camera (/dev/video*) it runs on the virtual camera.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVARNOLET_BUILD_TESTS=OFF -DVARNOLET_BUILD_BENCH=OFF
cmake --build build/release --target VarnoletMac
args=("$@")
if ! compgen -G "/dev/video*" >/dev/null; then
    args+=(--virtual-camera)
fi
exec build/release/bin/VarnoletMac "${args[@]}"
