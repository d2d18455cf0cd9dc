#!/usr/bin/env bash
# Installs the Debian packages that the build, the demo and the tests need, when any is missing.
set -euo pipefail
packages=(cmake make g++ pkg-config libxml2-dev libgtest-dev googletest zip unzip util-linux
          clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
