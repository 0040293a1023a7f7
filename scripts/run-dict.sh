#!/usr/bin/env bash
# The run command: installs what is missing, builds the dictionary program
# and starts it on the full dictionary. With a display it opens the window;
# without one it runs on a private Xvfb display, saves a picture of the
# window after start-up, says where, and ends the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DHANAKUMO_TESTS=OFF -DHANAKUMO_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target HanakumoDict program_data
program="$top/$build/bin/HanakumoDict"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$program"
fi

display_num=$(( 90 + RANDOM % 400 ))
Xvfb ":$display_num" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $program_pid $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display_num" ] && break; sleep 0.1; done
export DISPLAY=":$display_num"
"$program" &
program_pid=$!
# Start-up reads the whole dictionary; give the window time to appear.
sleep "${HANAKUMO_SHOT_DELAY:-6}"
picture="$top/$build/HanakumoDict-window.png"
import -window root "$picture"
echo "No display was open: HanakumoDict ran on the virtual display $DISPLAY."
echo "A picture of its window after start-up is in $picture"
