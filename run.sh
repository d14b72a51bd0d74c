#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvel's main job.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build
export ORVEL_SIMULATED_SENSOR="${ORVEL_SIMULATED_SENSOR:-1}"
echo "run.sh: build/tools/sensors/orvel-sensors --open lists the devices on the simulated bus" \
  "(ORVEL_SIMULATED_SENSOR=$ORVEL_SIMULATED_SENSOR) with serial and availability through OrvelDevice's discovery," \
  "then opens each available sensor and shows its info line and status letter"
exec build/tools/sensors/orvel-sensors --open "$@"
