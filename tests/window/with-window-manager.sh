#!/usr/bin/env bash
# Runs a command on the current X display under a window manager (openbox), as on a desktop: the window
# manager frames, places and activates the windows. Meant to run inside xvfb-run.
set -euo pipefail
openbox --sm-disable &
wm=$!
trap 'kill "$wm" 2>/dev/null || true' EXIT
# The window manager announces itself on the root window once it manages windows.
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    kill -0 "$wm" || exit 1
    sleep 0.05
done
"$@"
