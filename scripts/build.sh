#!/usr/bin/env bash
# Installs what is missing, then builds into build/ at the repository root:
# the targets named (scripts/run.sh names only the program), or everything.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default ${1:+--target "$@"}
