#!/usr/bin/env bash
# The sorting rules measured on labelled messages (a benchmark, not part of ctest):
#  1. the triage evaluator of the labelled set against this checkout's core (per message and as
#     served, with the digest's row caps); the set's folder is the first argument, by default
#     ../shared/triage beside the checkout;
#  2. the rules in process on the labelled set and on this repository's own validation sets
#     (bench/triage/*.jsonl, the blind ones included): precision, recall and F1 per label, the share
#     of each capped list the digest serves (待处理 12, 稍后 8, 会议 8, 重要 8) that carries its label,
#     and the CPU time per message.
# Usage: scripts/triage-eval.sh [TRIAGE_SET_DIR] [--errors]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
set_dir="$(cd "$here/.." && pwd)/shared/triage"
if [ $# -gt 0 ] && [ "$1" != "--errors" ]; then set_dir="$1"; shift; fi
if [ -f "$set_dir/triage_eval.py" ]; then
  /usr/bin/python3 "$set_dir/triage_eval.py" "$here"
else
  echo "triage-eval: no triage_eval.py in $set_dir; only the validation sets are measured" >&2
fi
sets=("$here"/bench/triage/*.jsonl)
if [ -f "$set_dir/dev.jsonl" ]; then sets=("$set_dir/dev.jsonl" "${sets[@]}"); fi
/usr/bin/python3 "$here/bench/triage/rules_bench.py" "${sets[@]}" "$@"
