#!/usr/bin/env bash
# Installs what is missing, builds under the sanitizers and runs every test, then fuzzes the
# frame layer for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset test >/dev/null
cmake --build --preset test
ctest --preset test -j2
# A short fuzzing run of the frame layer (clang build beside this one).
bash scripts/fuzz.sh 20
