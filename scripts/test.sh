#!/usr/bin/env bash
# Installs what is missing, builds razo and runs every test with ctest.
# Usage: scripts/test.sh [--sanitize]   (--sanitize: AddressSanitizer + UBSan build in build-asan/)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
dir="$here/build"; extra=()
if [ "${1:-}" = "--sanitize" ]; then
  dir="$here/build-asan"; extra=(-DRAZO_SANITIZE=ON -DRAZO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
"$here/scripts/build.sh" "$dir" "${extra[@]}"
cd "$dir"
ctest --output-on-failure -j2
