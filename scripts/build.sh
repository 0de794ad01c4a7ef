#!/usr/bin/env bash
# Configures and builds razo with CMake + Ninja.
# Usage: scripts/build.sh BUILD_DIR [--target NAME] [cmake args...]
# Without --target everything is built (razo, tests, benchmarks, tools); with it only NAME and
# what it needs. Without -DCMAKE_BUILD_TYPE=... the build is optimised (RelWithDebInfo, CMakeLists.txt).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$here/build}"; shift || true
target=()
if [ "${1:-}" = "--target" ]; then target=(--target "$2"); shift 2; fi
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$here")}"; fi
cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" "${target[@]}" -- -j"$(nproc)"
