#!/usr/bin/env bash
# Starts a Windows program of this build under Wine in the run prefix (build/win64/run).
# With $DISPLAY set it shows on that display until the program ends. Without one it runs on
# a virtual display of its own, saves a screenshot of the main window and ends the program.
#   show.sh PROGRAM [SCREENSHOT.png] [SETTLE_SECONDS]
set -euo pipefail
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$(realpath "$1")
screenshot=${2:-$(dirname "$program")/deskfind-main-window.png}
settle=${3:-4}
state=$(dirname "$program")/../run

if [ -n "${DISPLAY:-}" ]; then
  eval "$("$scripts/wine-session" boot "$state")"
  exec wine "$program"
fi

"$scripts/wine-session" start "$state"
trap '"$scripts/wine-session" stop "$state"' EXIT
eval "$("$scripts/wine-session" env "$state")"
# Wine's virtual desktop draws the frame, title bar and menu bar without a window manager.
wine explorer /desktop=deskfind,1280x1024 "$program" </dev/null >/dev/null 2>&1 &
runner=$!
sleep "$settle"
# The main window stands at 192,107 and is 769 x 506 at 96 DPI.
import -display "$DISPLAY" -window root -crop 769x506+192+107 +repage "$screenshot"
echo "Screenshot of the main window: $screenshot"
wineserver -k >/dev/null 2>&1 || true
wait "$runner" 2>/dev/null || true
