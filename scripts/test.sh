#!/usr/bin/env bash
# Checks the formatting and the committed pictures, then builds all three targets and runs every
# test: natively, the release checks (the native tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, a bounded fuzz run, clang-tidy; set QUICK=1 to skip them), then
# the Windows tests under Wine: the 64-bit build's, and, on computers that execute 32-bit code,
# the release program's under 32-bit Wine (scripts/runs-i386 says).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh

# Where the computer executes 32-bit code, the 32-bit root is made (or brought up to date) while
# the rest builds and runs: making it is mostly waiting for the mirror.
mkdir -p build
if i386_verdict=$(scripts/runs-i386); then
  scripts/i386-root make >build/i386-root-make.log 2>&1 &
  making_root=$!
fi

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
  if [ -d "$state32" ]; then scripts/wine-session --win32 stop "$state32"; fi
  # A root cut off half made would only be made again from the start.
  if [ -n "${making_root:-}" ]; then wait "$making_root" 2>/dev/null || true; fi
}
trap stop_sessions EXIT
# The pass's count, from CTest's own summary line.
passed() { grep -E '^[0-9]+% tests passed' "$1" | tail -n 1; }

scripts/wine-session reset "$state"
scripts/wine-session start "$state"
ctest --preset win64 | tee build/win64-pass.log
scripts/wine-session stop "$state"
echo "Everything but the 32-bit pass took $((SECONDS / 60)) min $((SECONDS % 60)) s."

# The program customers get, in a 32-bit Debian root made once under build/: the same tests.
echo "$i386_verdict"
if [ -n "${making_root:-}" ]; then
  started=$(date +%s)
  wait "$making_root" || {
    cat build/i386-root-make.log
    exit 1
  }
  cat build/i386-root-make.log
  scripts/wine-session --win32 reset "$state32"
  scripts/wine-session --win32 start "$state32"
  echo "32-bit Wine session ready in $(($(date +%s) - started)) s; the 32-bit pass:"
  ctest --preset win32 | tee build/win32-pass.log
  echo "64-bit pass: $(passed build/win64-pass.log)"
  echo "32-bit pass: $(passed build/win32-pass.log)"
  echo "All took $((SECONDS / 60)) min $((SECONDS % 60)) s."
else
  echo "64-bit pass: $(passed build/win64-pass.log)"
fi
