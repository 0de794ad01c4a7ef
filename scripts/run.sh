#!/usr/bin/env bash
# Installs what is missing, builds razo alone (optimised, in build/; no tests, benchmarks or
# tools: scripts/test.sh builds those in the same folder) and starts it. razo itself
# starts the local core (the stand-in core of this repository unless a real one already
# answers); when razo already runs, the new start brings its window forward instead.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build" --target razo
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  out="$here/screenshots-out"
  echo "razo: no display found, so razo renders its four sections offscreen into $out instead of opening a window."
  QT_QPA_PLATFORM=offscreen exec "$here/build/bin/razo" --screenshot "$out"
fi
echo "razo: starting; razo's window comes next (the local core starts behind it)."
exec "$here/build/bin/razo" "$@"
