#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole suite, then again under
# AddressSanitizer and UndefinedBehaviorSanitizer. Run as root: the end-to-end tests use
# private mount namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DFCHBA_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

if [ -x scripts/fuzz.sh ]; then bash scripts/fuzz.sh; fi
