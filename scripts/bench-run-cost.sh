#!/usr/bin/env bash
# What one self-discovery run of the program costs in cpu (user and system time), in the program
# and in every child it waits for: on a machine with few processes, and with 3,000 more sleeping
# processes on it; and what the program itself adds to the cpu of its children (all of them child
# processes that the program's design names: mkdir, touch, cat where a release file stands,
# unzip, chmod and the kit's listing, each through /bin/sh). Medians of RUNS runs (15) after one
# that is not counted, each on a fresh copy of the package, in a private mount namespace. Not
# part of the tests. Run as root.
#
#   bash scripts/bench-run-cost.sh [BINARY] [PACKAGE]   (build/fchba-update, build/examples/package)
set -euo pipefail
cd "$(dirname "$0")/.."
binary=$(realpath "${1:-build/fchba-update}")
package=$(realpath "${2:-build/examples/package}")
runs=${RUNS:-15}
scratch=$(mktemp -d /tmp/fchbabenchXXXXXX)
trap 'rm -rf "$scratch"' EXIT
g++ -O2 -o "$scratch/run_cost" bench/RunCost.cpp
g++ -O2 -shared -fPIC -o "$scratch/rusage-at-exit.so" bench/RusageAtExit.cpp
mkdir -p "$scratch/var" "$scratch/work"
fresh="rm -rf ./* ./.[!.]* && cp -a '$package/.' ."

cost() {  # cost RUN_COST-ARGUMENTS...
  tests/support/sandbox.sh --var "$scratch/var" --work "$scratch/work" -- \
    "$scratch/run_cost" --runs "$runs" --prepare "$fresh" "$@"
}

read -r alone self children < <(cost --split "$scratch/rusage-at-exit.so" -- "$binary" /d report.xml)
busy=$(cost --sleepers 3000 -- "$binary" /d report.xml)
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
echo "a /d run, few processes on the machine:   $alone ms"
echo "a /d run, 3,000 more sleeping processes:  $busy ms ($(ratio "$busy" "$alone")x the run with few)"
echo "of the run with few, the children:        $children ms (the program itself until its exit: $self ms)"
echo "the whole run against those children:     $(ratio "$alone" "$children")x"
