#!/usr/bin/env bash
# Builds the version reader's fuzz target with clang in build/fuzz and runs it for a bounded
# time: scripts/fuzz.sh [SECONDS] (default 60). Exits non-zero when the fuzzer finds a crash,
# leaving the input that caused it in build/fuzz/findings.
set -euo pipefail
seconds=${1:-60}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/fuzz

CC=clang CXX=clang++ cmake --preset native -S "$root" -B "$build" \
  -DDESKFIND_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target version_fuzz

# The seeds in the source tree stay untouched; new inputs collect in the build folder.
mkdir -p "$build/corpus" "$build/findings"
"$build/tests/fuzz/version_fuzz" "$build/corpus" "$root/tests/fuzz/corpus" \
  -dict="$root/tests/fuzz/version.dict" -max_total_time="$seconds" -max_len=512 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$build/findings/"
