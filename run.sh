#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvel's main job.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build
export ORVEL_SIMULATED_SENSOR="${ORVEL_SIMULATED_SENSOR:-1}"
echo "run.sh: listing the sensors on the simulated bus (ORVEL_SIMULATED_SENSOR=$ORVEL_SIMULATED_SENSOR) with build/tools/sensors/orvel-sensors"
exec build/tools/sensors/orvel-sensors "$@"
