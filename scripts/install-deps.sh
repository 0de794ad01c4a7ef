#!/usr/bin/env bash
# Installs what razo needs to build, run and test on Debian 12. Idempotent: when every
# package is already there it prints nothing and touches nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  dpkg-dev file desktop-file-utils appstream lintian
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins libgl-dev libegl-dev
  qcoro-qt6-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  fonts-noto-cjk fonts-noto-color-emoji
  python3
  xvfb xauth
  dbus at-spi2-core python3-pyatspi
  dbus-daemon python3-jeepney python3-icu
)
# Node.js and npm run the MCP client check (tests/mcp); a Node.js installed another way is used as it is.
command -v node >/dev/null || PACKAGES+=(nodejs)
command -v npm >/dev/null || PACKAGES+=(npm)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "razo: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
echo "razo: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
