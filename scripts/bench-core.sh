#!/usr/bin/env bash
# The core's benchmark: fills temporary stores with 1,000 / 10,000 / 50,000 messages and prints what
# razo's requests cost there, the core's CPU while razo polls, its RSS and the longest capture insert.
# Usage: scripts/bench-core.sh [--repo CHECKOUT] [--sizes 1000,10000,50000] [--runs 5] [--cycles 5]
# (--repo: the core of another checkout, e.g. a clone of main for a before/after table).
# Takes a few minutes; other load on the machine shows in the numbers, so run it on a quiet one.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
exec /usr/bin/python3 "$here/bench/bench_core.py" "$@"
