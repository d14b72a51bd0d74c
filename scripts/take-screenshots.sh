#!/usr/bin/env bash
# Takes the user guide's screenshots into docs/images/ from the program's own
# windows (build/tools/screenshots/orvel-screenshots), on the simulated sensor
# and a simulated drive, on a virtual display (Xvfb) large enough for the
# window's working size (the offscreen platform's screen is only 800 x 600).
# Settings, log, dialog files and
# recovery copies go to a scratch folder, so the user's own are neither used
# nor shown. Run it after changing what the pictured windows show, look at the
# pictures, and commit those that changed; the next build lays out the guide
# with them.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
cmake --build build -j2 --target orvel-screenshots
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/config" "$scratch/data" "$scratch/work"
mkdir -m 700 "$scratch/runtime"
cd "$scratch/work"
env -u WAYLAND_DISPLAY -u ORVEL_SIM_FRAME_INTERVAL_MS \
  QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none ORVEL_SIMULATED_SENSOR=1 HOME="$scratch" \
  XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch/runtime" \
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  "$root/build/tools/screenshots/orvel-screenshots" "$root/docs/images"
