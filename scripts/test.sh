#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, integration, end to end).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh"
cd "$root"
ctest --preset default --parallel 2
