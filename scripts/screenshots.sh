#!/usr/bin/env bash
# Builds the 64-bit program and our screenshot tour, runs them on Wine's virtual desktop in the
# run prefix (build/win64/run, on a display of its own) and saves the pictures of the README:
# docs/main-window.png, docs/about-box.png and docs/selection-window.png (after an all-open
# search), each cropped to its window's screen rectangle.
#   screenshots.sh [OUTPUT_FOLDER]      (default: docs)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh
build=${DESKFIND_BUILD_DIR:-build/win64}
output=$(realpath -m "${1:-docs}")
cmake --preset win64 -B "$build" >/dev/null
cmake --build "$build" --target deskfind screenshot_tour >/dev/null
program=$(realpath "$build/app/deskfind.exe")
tour=$(realpath "$build/tests/screenshot_tour.exe")

state=$build/run
handoff=$(realpath -m "$build/screenshots")
rm -rf "$handoff"
mkdir -p "$handoff" "$output"
scripts/wine-session start "$state"
trap 'scripts/wine-session stop "$state"' EXIT
eval "$(scripts/wine-session env "$state")"

# Wine's virtual desktop draws the frames, title bars and menu bars without a window manager;
# the tour starts the program there, shows each window and hands over its rectangle.
wine explorer /desktop=deskfind,1280x1024 "$tour" "$program" "$handoff" </dev/null >/dev/null 2>&1 &
for name in main-window about-box selection-window; do
  for _ in $(seq 600); do
    [ -f "$handoff/$name.rect" ] || [ -f "$handoff/tour.log" ] && break
    sleep 0.1
  done
  if [ ! -f "$handoff/$name.rect" ]; then
    echo "screenshots: the tour did not show the $name" >&2
    [ -f "$handoff/tour.log" ] && cat "$handoff/tour.log" >&2
    exit 1
  fi
  geometry=$(tr -d '[:space:]' <"$handoff/$name.rect")
  import -display "$DISPLAY" -window root -crop "$geometry" +repage "$output/$name.png"
  touch "$handoff/$name.taken"
  echo "$output/$name.png ($geometry)"
done
wineserver -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
