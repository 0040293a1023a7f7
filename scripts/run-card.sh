#!/usr/bin/env bash
# The run command of the flash card: installs what is missing, builds the
# card program and starts it on the common words of the full dictionary.
# With a display it runs there (its icon goes to the desktop's notification
# area). Without one it runs on a private Xvfb display with a small desktop
# of ours (a background and a notification area), waits for the first card,
# saves a picture of the screen as a user would see it and one of the card,
# says where, and ends the program.
#   usage: scripts/run-card.sh [dark|light]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DHANAKUMO_TESTS=OFF -DHANAKUMO_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target HanakumoCard hk_tray_manager program_data
program="$top/$build/bin/HanakumoCard"
desktop="$top/$build/bin/hk_tray_manager"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$program"
fi

background=${1:-dark}
source scripts/private-display.sh
start_private_display
program_pid=
desktop_pid=
# The demonstration leaves the user's own autostart entries alone.
config_home=$(mktemp -d)
finish() {
  # The X server goes last, once its clients have let go of it.
  kill $program_pid $desktop_pid 2>/dev/null || true
  wait $program_pid $desktop_pid 2>/dev/null || true
  kill $xvfb_pid 2>/dev/null || true
  rm -rf "$config_home"
}
trap finish EXIT
export DISPLAY="$private_display"
events=$(mktemp -p "$config_home")
"$desktop" --desktop "$background" >"$events" &
desktop_pid=$!
for _ in $(seq 50); do grep -q '^ready' "$events" && break; sleep 0.1; done
XDG_CONFIG_HOME="$config_home" "$program" &
program_pid=$!

# The card fades in once the program has started; its icon docks.
window=
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Card$' 2>/dev/null | head -1) && [ -n "$window" ] && break
  kill -0 "$program_pid" 2>/dev/null || { echo "HanakumoCard ended during start-up" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "HanakumoCard showed no card" >&2; exit 1; }
grep -q '^docked' "$events" || sleep 1
sleep 1

screen="$top/$build/HanakumoCard-screen.png"
card="$top/$build/HanakumoCard-card.png"
ppm="$config_home/screen.ppm"
"$desktop" --compose "$window" "$ppm" >/dev/null
convert "$ppm" "$screen"
read -r x y w h < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
  /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
margin=40
convert "$ppm" -crop "$((w + 2 * margin))x$((h + 2 * margin))+$((x > margin ? x - margin : 0))+$((y > margin ? y - margin : 0))" +repage "$card"
kill -TERM "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=
echo "No display was open: HanakumoCard ran on the virtual display $DISPLAY with a desktop of ours ($background)."
echo "A picture of the screen is in $screen"
echo "and one of the card in $card"
