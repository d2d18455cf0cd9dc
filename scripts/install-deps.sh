#!/usr/bin/env bash
# Installs the Debian packages that are missing: those that building and running the program
# need, and with --tests also those of the tests (GoogleTest, clang with its runtime for the
# fuzzer, and the i386 libraries of the 32-bit build). No name carries a compiler's version, so
# the lists hold across Debian releases.
set -euo pipefail
packages=(cmake make g++ pkg-config libxml2-dev unzip util-linux)
if [ "${1:-}" = --tests ]; then
  packages+=(zip libgtest-dev googletest clang libclang-rt-dev
             gcc-multilib g++-multilib libxml2-dev:i386 libgtest-dev:i386)
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
