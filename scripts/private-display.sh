# Sourced by the scripts that need an X server of their own.
# start_private_display: starts Xvfb on a display number no other server
# holds, waits for its socket, and sets private_display (":N") and xvfb_pid.
start_private_display() {
  local n
  for _ in $(seq 100); do
    n=$(( 90 + RANDOM % 400 ))
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  private_display=":$n"
}
