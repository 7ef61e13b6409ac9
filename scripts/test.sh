#!/usr/bin/env bash
# Checks the formatting and the committed pictures, then builds all three targets and runs every
# test: natively, the release checks (the native tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, a bounded fuzz run, clang-tidy; set QUICK=1 to skip them), then
# the Windows tests under Wine: the 64-bit build's, and, on machines that execute 32-bit code,
# the release program's under 32-bit Wine (scripts/runs-i386 says).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh

# The quick checks first, so that a formatting slip or a stale picture fails in seconds.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
python3 scripts/draw-assets.py --check

for preset in native win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

ctest --preset native

if [ "${QUICK:-0}" != 1 ]; then
  scripts/sanitize.sh
  scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
  scripts/tidy.sh
fi

# A fresh Wine prefix and display of this run's own, ended however the run ends.
state=build/win64/wine
state32=build/win32/wine
stop_sessions() {
  scripts/wine-session stop "$state"
  if [ -d "$state32" ]; then scripts/wine32-session stop "$state32"; fi
}
trap stop_sessions EXIT
scripts/wine-session reset "$state"
scripts/wine-session start "$state"
ctest --preset win64
scripts/wine-session stop "$state"

# The program customers get, in a 32-bit Debian root made once under build/ (the soak test
# runs in the 64-bit pass only).
if verdict=$(scripts/runs-i386); then
  echo "$verdict"
  started=$(date +%s)
  scripts/wine32-session reset "$state32"
  scripts/wine32-session start "$state32"
  echo "32-bit Wine session ready in $(($(date +%s) - started)) s; the 32-bit pass:"
  ctest --preset win32
else
  echo "$verdict"
fi
