#!/usr/bin/env bash
# Stops the caller at once, before anything is installed or built, where the private mount
# namespaces that the demo and the tests run in cannot be set up.
#   scripts/check-sandbox.sh NAME     NAME: the caller, for the message
cd "$(dirname "$0")/.."
tests/support/sandbox.sh -- true 2>/dev/null && exit 0
echo "$1: needs root and the right to create mount namespaces" >&2
exit 1
