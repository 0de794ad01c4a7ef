#!/usr/bin/env bash
# Builds the fuzz targets (clang-14, libFuzzer, ASan + UBSan) in build-fuzz/ and runs each one
# for SECONDS (default 60), starting from its seeds in tests/fuzz/<target>/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (targets: wire http timeline chatrules settings)
#
# New corpus entries go to build-fuzz/fuzz/corpus/<target>/ (tests/fuzz/ is only read). Any
# crash, sanitizer report, leak, time-out (an input taking more than 10 s counts as a hang) or
# out-of-memory fails the run; the input is kept in build-fuzz/fuzz/findings/<target>/ and its
# log next to it. Replay it with build-fuzz/fuzz/fuzz_<target> FILE.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(wire http timeline chatrules settings)

"$here/scripts/install-deps.sh"

dir="$here/build-fuzz"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$here")}"
fi
built=$(date +%s)
# Debug keeps Qt's and our assertions on; -O1 keeps the fuzzers fast enough.
cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DRAZO_FUZZ=ON -DRAZO_BUILD_TESTS=OFF -DRAZO_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target fuzzers -- -j"$(nproc)" >/dev/null
echo "fuzz: built in $(( $(date +%s) - built )) s"

max_len() {
  case "$1" in
    wire) echo 16384 ;;
    http) echo 8192 ;;
    *) echo 4096 ;;
  esac
}

# No allocation stacks: they halve the speed; replay a finding without this to get them.
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:malloc_context_size=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for target in "${targets[@]}"; do
  corpus="$dir/fuzz/corpus/$target"
  findings="$dir/fuzz/findings/$target"
  log="$dir/fuzz/$target.log"
  mkdir -p "$corpus" "$findings"
  status=0
  "$dir/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$corpus" "$here/tests/fuzz/$target" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  size=$(find "$corpus" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    echo "fuzz: $target: ${runs:-?} executions in $seconds s ($(( ${runs:-0} / seconds ))/s), corpus $size inputs"
  else
    echo "fuzz: $target: FAILED (exit $status) after ${runs:-?} executions; input in $findings/, log $log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*check failed|.*runtime error)' "$log" | head -5 || true
    cp "$log" "$findings/" 2>/dev/null || true
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}"
  exit 1
fi
