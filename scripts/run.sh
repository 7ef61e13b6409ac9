#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine, in a prefix of its own under build/.
# With $DISPLAY set it shows there; without one it runs on a virtual display, saves a
# screenshot of the main window and ends the program.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64
program=build/win64/app/deskfind.exe
if [ ! -f "$program" ]; then
  echo "run.sh: the build made no $program" >&2
  exit 1
fi
echo "Everything is built; the program's main window comes next."
exec scripts/show.sh "$program"
