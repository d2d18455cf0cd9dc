#!/usr/bin/env bash
# Installs the Debian packages that are missing: those that building and running the program
# need, and with --tests also those of the tests (GoogleTest, clang with its runtime for the
# fuzzer, and the i386 libraries of the 32-bit build). No name carries a compiler's version, so
# the lists hold across Debian releases.
# It never removes a package. Where installing the 32-bit build's packages would remove one
# (gcc-multilib conflicts with every cross compiler), it leaves them out, says in one line what
# they would remove and exits 3, everything else installed; where any other package would, it
# stops with exit 1 before installing it.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
updated=
# Sets missing to those of the given packages that are not installed and removed to what
# installing them would remove; installs them only where that is nothing. A simulation that
# apt cannot resolve names nothing, and the install itself then says why it fails.
install_missing() {
  local p
  missing=() removed=
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  [ -n "$updated" ] || { apt-get update; updated=yes; }
  removed=$({ apt-get -s install --no-install-recommends "${missing[@]}" 2>/dev/null || true; } |
            awk '$1 == "Remv" { printf "%s%s", sep, $2; sep = " " }')
  [ -n "$removed" ] || apt-get install -y --no-remove --no-install-recommends "${missing[@]}"
}

packages=(cmake make g++ pkg-config libxml2-dev unzip util-linux)
[ "${1:-}" != --tests ] || packages+=(zip libgtest-dev googletest clang libclang-rt-dev)
install_missing "${packages[@]}"
if [ -n "$removed" ]; then
  echo "install-deps.sh: stopped: installing ${missing[*]} would remove $removed" >&2
  exit 1
fi
[ "${1:-}" = --tests ] || exit 0

added=
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  added=yes updated=
fi
install_missing gcc-multilib g++-multilib libxml2-dev:i386 libgtest-dev:i386
[ -n "$removed" ] || exit 0
# Added for nothing: the machine gets its architectures back as they were.
if [ -n "$added" ] && dpkg --remove-architecture i386; then apt-get update; fi
echo "install-deps.sh: the 32-bit x86 build is left out: installing its packages would remove $removed" >&2
exit 3
