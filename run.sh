#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvel's main window, with the
# simulated sensor "SIM0001" available unless ORVEL_SIMULATED_SENSOR is set.
#
#   ./run.sh [--simulated-drive] [FILE.ldf]
#
# --simulated-drive (or ORVEL_SIMULATED_DRIVE=1) also starts a simulated
# linear drive (orvel-simdrive) beside the program, for spatial scans: the
# configuration panel's port list offers it, and it stops when Orvel ends.
# Other arguments go to Orvel (a session file to open).
set -euo pipefail
cd "$(dirname "$0")"

simulated_drive="${ORVEL_SIMULATED_DRIVE:-}"
arguments=()
for argument in "$@"; do
  if [ "$argument" = --simulated-drive ]; then
    simulated_drive=1
  else
    arguments+=("$argument")
  fi
done

scripts/install-deps.sh
scripts/build.sh build
export ORVEL_SIMULATED_SENSOR="${ORVEL_SIMULATED_SENSOR:-1}"

# Starts the drive, passes on what it says up to its last line of explanation
# (by then its pseudo-terminal is registered), and stops it when this ends.
start_simulated_drive() {
  coproc SIMDRIVE { exec build/tools/simdrive/orvel-simdrive 2>&1; }
  local pid="$SIMDRIVE_PID"
  # Waited for, so that it can remove its registration while its output
  # still has a reader.
  trap 'kill "'"$pid"'" 2>/dev/null && wait "'"$pid"'" 2>/dev/null; true' EXIT
  local line ready=0
  while IFS= read -r line <&"${SIMDRIVE[0]}"; do
    echo "$line"
    if [ "$line" = "Ctrl+C stops the drive." ]; then
      ready=1
      break
    fi
  done
  if [ "$ready" -eq 0 ]; then
    echo "run.sh: the simulated drive did not start" >&2
    exit 1
  fi
}

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  if [ -n "$simulated_drive" ]; then
    start_simulated_drive
    build/app/Orvel "${arguments[@]}"
    exit
  fi
  exec build/app/Orvel "${arguments[@]}"
fi
echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so Orvel's window cannot open." \
  "Run it on a desktop, or on a virtual display with: xvfb-run -a ./run.sh"
session=build/demo-session.ldf
echo "run.sh: meanwhile, a headless acquisition with orvel-cli (ORVEL_SIMULATED_SENSOR=$ORVEL_SIMULATED_SENSOR):"
build/tools/sensors/orvel-sensors
build/tools/cli/orvel-cli acquire --scans 5 -o "$session"
echo "run.sh: saved $session; its plasma parameters (orvel-cli analyse):"
build/tools/cli/orvel-cli analyse "$session"
