#!/usr/bin/env bash
# Installs what is missing, builds, and runs a self-discovery on a copy of the demo package in
# examples/. The run happens in a private mount namespace whose /var is demo-run/var, so the
# component log of the demo lands in demo-run/var/zmt/Component.log. Run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/check-sandbox.sh demo.sh
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFCHBA_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target fchba-update demo-package
rm -rf demo-run
mkdir -p demo-run/package demo-run/var
cp -a build/examples/package/. demo-run/package/
set +e
tests/support/sandbox.sh --var "$PWD/demo-run/var" --work "$PWD/demo-run/package" -- \
  "$PWD/build/fchba-update" /d report.xml
rc=$?
set -e
echo "exit code: $rc"
echo "--- demo-run/package/report.xml"
cat demo-run/package/report.xml 2>/dev/null || echo "(no report)"
echo "--- demo-run/var/zmt/Component.log"
cat demo-run/var/zmt/Component.log
