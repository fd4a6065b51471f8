#!/bin/sh
# Installs the Debian packages VARK needs that are not installed yet, and says
# which. apt-get runs as root, through sudo otherwise.
set -eu

PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev libmodbus-dev googletest libgtest-dev
fonts-wine socat mbpoll python3-pymodbus xvfb clang-14 libclang-rt-14-dev"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

echo "Installing Debian packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
  as_root=""
elif command -v sudo >/dev/null 2>&1; then
  as_root="sudo"
else
  echo "Not root and no sudo: install these packages yourself:$missing" >&2
  exit 1
fi
$as_root apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq --no-install-recommends $missing
