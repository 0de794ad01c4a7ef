#!/usr/bin/env bash
# The soak: razo's window (offscreen) against the stand-in core with random faults on about a
# third of its requests, for REFRESHES refreshes (default 10000) with section switches and chat
# questions on the way. Prints RSS, open descriptors and threads every 1,000 refreshes and exits
# non-zero when RSS grows more than 2 MB after warm-up or descriptors or threads grow.
# Usage: scripts/soak.sh [REFRESHES] [--asan]   (--asan: AddressSanitizer build with the leak check)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
refreshes="${1:-10000}"
"$here/scripts/install-deps.sh"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$here")}"; fi
if [ "${2:-}" = "--asan" ]; then
  dir="$here/build-asan" # shared with scripts/test.sh --sanitize
  cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" -DRAZO_SANITIZE=ON -DRAZO_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
else
  dir="$here/build-soak" # optimised (RelWithDebInfo)
  cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" >/dev/null
fi
cmake --build "$dir" --target soak_razo >/dev/null
cd "$dir"
QT_QPA_PLATFORM=offscreen exec nice "$dir/bench/soak_razo" --refreshes "$refreshes" --interval 20
