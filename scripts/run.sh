#!/usr/bin/env bash
# Installs what is missing, builds the program (not the tests or benchmarks), and starts it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh" thrennic
exec "$root/build/thrennic" "$@"
