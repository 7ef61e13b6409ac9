#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine, in a prefix of its own under build/.
# With $DISPLAY set it shows there; without one it runs on a virtual display, saves a
# screenshot of the main window and ends the program.
#   run.sh             the 64-bit build under the host's Wine
#   run.sh --release   the program customers get (i686, stripped) under 32-bit Wine, in the
#                      32-bit root under build/; only on machines that execute 32-bit code
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh

if [ "${1:-}" = --release ]; then
  if ! verdict=$(scripts/runs-i386); then
    echo "run.sh --release: ${verdict#32-bit tests skipped: }" >&2
    echo "The release program needs 32-bit Wine; 'scripts/run.sh' starts the 64-bit build." >&2
    exit 1
  fi
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target deskfind
  program=$PWD/build/win32/app/deskfind.exe
  state=build/win32/run
  trap 'scripts/wine-session --win32 stop "$state"' EXIT
  if [ -n "${DISPLAY:-}" ]; then
    DESKFIND_WINE_DISPLAY=$DISPLAY scripts/wine-session --win32 start "$state"
    scripts/wine-session --win32 exec "$state" wine "$program"
    exit 0
  fi
  scripts/wine-session --win32 start "$state"
  # Wine's virtual desktop draws the frame, title bar and menu bar without a window manager.
  scripts/wine-session --win32 exec "$state" wine explorer /desktop=deskfind,1280x1024 "$program" \
    </dev/null >/dev/null 2>&1 &
  runner=$!
  # The main window stands at 192,107 and is 769 x 506 at 96 DPI. The first start in a new
  # prefix takes longer: wait until the place holds more than one colour, and a little more.
  screenshot=build/win32/deskfind-main-window.png
  for _ in $(seq 30); do
    sleep 1
    import -display "$(cat "$state/display")" -window root -crop 769x506+192+107 +repage \
      "$screenshot"
    [ "$(identify -format %k "$screenshot")" -gt 1 ] && break
  done
  sleep 1
  import -display "$(cat "$state/display")" -window root -crop 769x506+192+107 +repage "$screenshot"
  echo "Screenshot of the release program's main window: $screenshot"
  scripts/wine-session --win32 exec "$state" wineserver -k >/dev/null 2>&1 || true
  wait "$runner" 2>/dev/null || true
  exit 0
fi

cmake --preset win64 >/dev/null
cmake --build --preset win64
program=build/win64/app/deskfind.exe
if [ ! -f "$program" ]; then
  echo "run.sh: the build made no $program" >&2
  exit 1
fi
echo "Everything is built; the program's main window comes next."
exec scripts/show.sh "$program"
