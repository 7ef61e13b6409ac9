#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over the product's sources twice: as the native
# build compiles them (build/tidy-native) and as the 64-bit Windows build does
# (build/tidy-win64, clang parsing the MinGW-w64 headers). Only the compile commands are
# needed, so nothing is built. Exits non-zero on any finding.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/deps.sh"

# The product's folders; the tests, GoogleTest and the system headers are not checked.
product="^$root/(catalogue|platform|shop|app|selection|update)/"
jobs=${TIDY_JOBS:-2}

cmake --preset native -S "$root" -B "$root/build/tidy-native" >/dev/null
cmake --preset win64 -S "$root" -B "$root/build/tidy-win64" >/dev/null

status=0
for build in tidy-native tidy-win64; do
  extra=()
  if [ "$build" = tidy-win64 ]; then
    # The commands name the MinGW GCC; clang must parse for its target. The toolchain file
    # already lists the posix libstdc++'s include folders. Warnings of GCC's that clang
    # lacks are no findings.
    extra=(-extra-arg=--target=x86_64-w64-mingw32 -extra-arg=-Wno-unknown-warning-option)
  fi
  echo "clang-tidy: $build"
  log=$root/build/$build/clang-tidy.log
  # run-clang-tidy fails when any file has a finding (all are errors in .clang-tidy) or
  # does not parse; the log keeps the findings without colours.
  if ! run-clang-tidy-14 -quiet -j "$jobs" -p "$root/build/$build" "${extra[@]}" \
    -header-filter "$product" "$product" 2>&1 |
    sed 's/\x1b\[[0-9;]*m//g' >"$log"; then
    status=1
  fi
  # A header's finding repeats once per file that includes it: show each once.
  if grep -E '^[^ ].*: (error|warning): ' "$log" | sort -u | grep .; then
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "clang-tidy: no findings"
exit "$status"
