#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, integration, end to end).
#
#   scripts/test.sh              the suite, as CI runs it
#   scripts/test.sh --sanitize   the same, built into build-sanitize/ with the
#                                address and undefined-behaviour sanitizers; any
#                                report ends its test as failed
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if [[ ${1:-} == --sanitize ]]; then
  bash scripts/setup.sh
  cmake --preset sanitize >/dev/null
  cmake --build --preset sanitize
  ctest --preset sanitize --parallel 2
else
  bash scripts/build.sh
  ctest --preset default --parallel 2
fi
