#!/usr/bin/env bash
# Configures and builds kivtab into ./build (Release with debug info): everything, or only the
# targets named as arguments (scripts/build.sh kivtab kivtab-central).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
targets=()
[ "$#" -gt 0 ] && targets=(--target "$@")
cmake --build build -j "$(nproc)" "${targets[@]}"
