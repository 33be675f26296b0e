#!/usr/bin/env bash
# Installs what is missing, builds under the sanitizers and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset test >/dev/null
cmake --build --preset test
ctest --preset test -j2
