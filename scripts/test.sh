#!/usr/bin/env bash
# Checks the formatting and the committed pictures, then builds all three targets and runs every
# test: natively, the release checks (the native tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, a bounded fuzz run, clang-tidy; set QUICK=1 to skip them), then
# the Windows tests under Wine.
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
scripts/wine-session reset "$state"
trap 'scripts/wine-session stop "$state"' EXIT
scripts/wine-session start "$state"
ctest --preset win64
