#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvel's main window, with the
# simulated sensor "SIM0001" available unless ORVEL_SIMULATED_SENSOR is set.
# Arguments go to Orvel (a session file to open).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build
export ORVEL_SIMULATED_SENSOR="${ORVEL_SIMULATED_SENSOR:-1}"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec build/app/Orvel "$@"
fi
echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so Orvel's window cannot open." \
  "Run it on a desktop, or on a virtual display with: xvfb-run -a ./run.sh"
session=build/demo-session.ldf
echo "run.sh: meanwhile, a headless acquisition with orvel-cli (ORVEL_SIMULATED_SENSOR=$ORVEL_SIMULATED_SENSOR):"
build/tools/sensors/orvel-sensors
build/tools/cli/orvel-cli acquire --scans 5 -o "$session"
echo "run.sh: saved $session; its plasma parameters (orvel-cli analyse):"
build/tools/cli/orvel-cli analyse "$session"
