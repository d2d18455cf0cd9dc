#!/usr/bin/env bash
# Builds the pattern engines' libFuzzer target with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs it for 75 seconds over both engines. A crash, a sanitizer
# report, a leak or a timeout fails the run: every search ends at its step budget, so an input
# that runs past the per-input timeout is a hang. Usage: scripts/fuzz.sh [seconds]
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
rm -f crash-* leak-* oom-* timeout-*
# Fork mode stops at the first finding. Its exit code is that of the last job it took in, which
# can be 0 when a clean job followed a crash, so the findings are judged by the artifacts the
# jobs leave: a crash, leak, out-of-memory or timeout input fails the run. Under the
# sanitizers the fuzz build's step budget ends a search within about 20 ms here, so even the
# thousand searches that one input can make fit inside the timeout.
set +e
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ./tests/fuzz/pattern_fuzzer -fork=2 -ignore_timeouts=0 -ignore_ooms=0 -ignore_crashes=0 \
  -max_total_time="$seconds" -max_len=256 -timeout=30 -rss_limit_mb=2048 \
  -close_fd_mask=2 pattern-corpus
status=$?
set -e
findings=$(ls crash-* leak-* oom-* timeout-* 2>/dev/null || true)
if [ -n "$findings" ]; then
  echo "Fuzzing findings in build-fuzz: $findings" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then exit "$status"; fi
echo "Fuzzing: no findings."
