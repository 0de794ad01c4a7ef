#!/usr/bin/env bash
# Builds the Debian package dist/razo_<version>_<arch>.deb: a Release build of razo alone
# (no tests, no benchmarks) in build-pkg/, packaged by CPack's DEB generator.
# Install it with: sudo apt install ./dist/razo_<version>_<arch>.deb
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build-pkg" -DCMAKE_BUILD_TYPE=Release -DRAZO_BUILD_TESTS=OFF -DRAZO_BUILD_BENCH=OFF
mkdir -p "$here/dist"
log="$(cd "$here/build-pkg" && cpack -G DEB -B "$here/dist")" || { echo "$log" >&2; exit 1; }
rm -rf "$here/dist/_CPack_Packages"
# "CPack: - package: /…/dist/razo_<version>_<arch>.deb generated."
deb="$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' <<<"$log")"
[ -n "$deb" ] && [ -f "$deb" ] || { echo "$log" >&2; echo "razo: cpack made no .deb" >&2; exit 1; }
echo "$deb"
