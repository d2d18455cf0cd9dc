#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole suite, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and once more built for 32-bit x86, the system's own platform,
# unless installing the 32-bit build's packages would remove another package.
# Run as root: the tests use private mount namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/check-sandbox.sh test.sh
status=0
bash scripts/install-deps.sh --tests || status=$?
[ "$status" = 0 ] || [ "$status" = 3 ] || exit "$status"
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFCHBA_TESTS=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DFCHBA_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

# Status 3: the 32-bit build's packages would have removed others, and install-deps.sh said so.
if [ "$status" = 0 ]; then
  bash scripts/enable-i386.sh
  # -m32 against the i386 libraries, which pkg-config finds in their own folder.
  PKG_CONFIG_LIBDIR=/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig \
    cmake -S . -B build-i386 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32
  cmake --build build-i386 -j"$jobs"
  ctest --test-dir build-i386 --output-on-failure -j"$jobs"
fi

if [ -x scripts/fuzz.sh ]; then bash scripts/fuzz.sh; fi
