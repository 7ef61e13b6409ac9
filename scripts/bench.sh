#!/usr/bin/env bash
# Builds what the benchmarks need and prints their figures: start-up time against a minimal
# one-window program and against the same windows written by hand, search speed against bare
# STATIC windows, the update's download against a bare WinINet loop, and the release program's
# size.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh
for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

state=build/win64/bench-wine
scripts/wine-session reset "$state"
trap 'scripts/wine-session stop "$state"' EXIT
scripts/wine-session start "$state"
export DESKFIND_WINE_STATE=$state
bench=build/win64/tests/bench

echo "deskfind benchmarks on $(nproc) cores, $(uname -m), Wine $(wine --version 2>/dev/null)"
# One table: a row per measure, as each benchmark prints it.
row() { tr -d '\r' | sed -e 's/^/| /' -e 's/$/ |/'; }
echo "| measure: deskfind against its yardstick |"
echo "|---|"
# Timed without their debugging sections, as a program ships: Wine reads the 64-bit build's 6 MB
# of them in at every start, which no user's copy carries.
shipped=build/win64/bench-shipped
mkdir -p "$shipped"
x86_64-w64-mingw32-objcopy --strip-debug build/win64/app/deskfind.exe "$shipped/deskfind.exe"
x86_64-w64-mingw32-objcopy --strip-debug "$bench/minimal_window.exe" "$shipped/minimal_window.exe"
x86_64-w64-mingw32-objcopy --strip-debug "$bench/hand_written_window.exe" \
  "$shipped/hand_written_window.exe"
scripts/wine-run "$bench/startup_bench.exe" "$shipped/deskfind.exe" "$shipped/minimal_window.exe" \
  "${STARTUP_RUNS:-11}" "$shipped/hand_written_window.exe" | row
scripts/wine-run "$bench/search_bench.exe" "${SEARCH_RUNS:-21}" | row
scripts/wine-run "$bench/download_bench.exe" "${DOWNLOAD_RUNS:-11}" | row
# Objects after a thousand all-open searches in one window (the tests run 200): flat when
# nothing leaks.
DESKFIND_SOAK_SEARCHES=1000 scripts/wine-run build/win64/tests/soak_tests.exe |
  sed -n 's/^\[ counts   \] /objects /p' | row
size=$(stat -c %s build/win32/app/deskfind.exe)
echo "release program build/win32/app/deskfind.exe: $size bytes ($((size / 1024)) KiB; target <= 352 KiB)" | row

# The release program (i686, stripped) under 32-bit Wine in the 32-bit root, against i686
# yardsticks, on machines that execute 32-bit code.
bench_release_program() {
  local verdict
  if ! verdict=$(scripts/runs-i386); then
    echo "$verdict" | row
    return 0
  fi
  # Global: the exit trap reads it after the function has returned.
  state32=build/win32/bench-wine
  local bench32=$PWD/build/win32/tests/bench
  trap 'scripts/wine-session stop "$state"; scripts/wine-session --win32 stop "$state32"' EXIT
  scripts/wine-session --win32 reset "$state32"
  scripts/wine-session --win32 start "$state32"
  DESKFIND_WINE_STATE=$state32 scripts/wine-run --win32 "$bench32/startup_bench.exe" \
    "$PWD/build/win32/app/deskfind.exe" "$bench32/minimal_window.exe" "${STARTUP_RUNS:-11}" \
    "$bench32/hand_written_window.exe" |
    sed 's/^/i686 release program, 32-bit Wine: /' | row
  DESKFIND_WINE_STATE=$state32 scripts/wine-run --win32 "$bench32/search_bench.exe" \
    "${SEARCH_RUNS:-21}" | sed 's/^/i686 release program, 32-bit Wine: /' | row
  scripts/wine-session --win32 stop "$state32"
}
bench_release_program
