# Sourced by the scripts that drive a real window: starts a private Xvfb display of the given
# size with a window manager, sets DISPLAY, and adds both processes to the caller's `pids`,
# which the caller's cleanup kills.
#   . scripts/private-display.sh 1280x1024
display=":$((100 + RANDOM % 400))"
Xvfb "$display" -screen 0 "${1:-800x600}x24" -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
# A window mapped while the window manager is still starting may never be shown: wait until it
# manages the display (it then answers for the current desktop).
for _ in $(seq 100); do xdotool get_desktop >/dev/null 2>&1 && break; sleep 0.1; done
