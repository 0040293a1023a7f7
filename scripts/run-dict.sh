#!/usr/bin/env bash
# The run command: installs what is missing, builds the dictionary program
# and starts it on the full dictionary. With a display it opens the window.
# Without one it runs on a private Xvfb display, types a word into the
# search box (the first argument, "water" when none is given), presses
# Enter, waits for the search to end, saves a picture of the window with
# its results, says where, and ends the program.
#   usage: scripts/run-dict.sh [word]
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

word=${1:-water}
source scripts/private-display.sh
start_private_display
program_pid=
trap 'kill $program_pid $xvfb_pid 2>/dev/null || true' EXIT
export DISPLAY="$private_display"
"$program" &
program_pid=$!

# The main window appears once the dictionary is loaded.
window=
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Hanakumo$' 2>/dev/null | head -1) && [ -n "$window" ] && break
  kill -0 "$program_pid" 2>/dev/null || { echo "HanakumoDict ended during start-up" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "HanakumoDict showed no main window" >&2; exit 1; }
sleep 0.5

# Click into the search box, type the word and press Enter.
xdotool mousemove --window "$window" 60 24 click 1
sleep 0.2
xdotool type --delay 30 "$word"
xdotool key Return

# While a search runs the busy image turns, so the window's pixels change;
# the search has ended once two looks a second apart see the same pixels.
sleep 1
last=
for _ in $(seq 120); do
  now=$(import -window "$window" rgb:- 2>/dev/null | md5sum)
  [ "$now" = "$last" ] && break
  last=$now
  sleep 1
done

picture="$top/$build/HanakumoDict-window.png"
import -window "$window" "$picture"
echo "No display was open: HanakumoDict ran on the virtual display $DISPLAY and searched for \"$word\"."
echo "A picture of its window with the results is in $picture"
