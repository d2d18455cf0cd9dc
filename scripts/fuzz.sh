#!/usr/bin/env bash
# Builds the pattern engines' libFuzzer target with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs it for 75 seconds over both engines. A crash, a sanitizer
# report or a leak fails the run; inputs that only run long (backtracking can take exponential time) are
# not findings. Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-75}
jobs=$(nproc)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFCHBA_FUZZ=ON -DFCHBA_TESTS=OFF
cmake --build build-fuzz -j"$jobs" --target pattern_fuzzer

corpus=build-fuzz/pattern-corpus
mkdir -p "$corpus"
cp tests/fuzz/corpus/* "$corpus"/ 2>/dev/null || true
cd build-fuzz
# Fork mode keeps going past per-input timeouts and stops at the first crash.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ./tests/fuzz/pattern_fuzzer -fork=2 -ignore_timeouts=1 -ignore_ooms=0 -ignore_crashes=0 \
  -max_total_time="$seconds" -max_len=256 -timeout=5 -rss_limit_mb=2048 -close_fd_mask=2 \
  pattern-corpus
