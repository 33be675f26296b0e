#!/usr/bin/env bash
# The program against the simulated controller: installs what is missing, builds, starts
# lorvane-sim on port 1 (state kept in ~/.config/lorvane/demo-state.json), then the program.
# Closing the program stops the simulator and removes its port link.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target lorvane lorvane-sim lorvane-projects
state="${LORVANE_DEMO_STATE:-$HOME/.config/lorvane/demo-state.json}"
mkdir -p "$(dirname "$state")"
# LORVANE_SIM_ARGS passes faults to the simulated controller, e.g. "--delay-ms 200" (late),
# "--repeat-ms 60" (every answer twice), "--drop-percent 30" (lossy), "--silent".
# shellcheck disable=SC2086
build/default/sim/lorvane-sim --port 1 --state "$state" ${LORVANE_SIM_ARGS:-} </dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
ports="${LORVANE_PORTS:-$HOME/.config/lorvane/ports}"
for _ in $(seq 100); do [ -e "$ports/com1" ] && break; sleep 0.05; done
echo "Port 1 is the simulated controller. Press 确定 on the main screen to open it."
build/default/src/lorvane
