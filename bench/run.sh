#!/usr/bin/env bash
# Builds Release and measures the whole program against the textbook loops and dd.
# Usage: bench/run.sh [COUNT] [ROUNDS]   (defaults: 5000000 numbers, 7 rounds)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLOTRIX_TESTS=OFF -DLOTRIX_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 >/dev/null
scratch=$(mktemp -d "$root/build-bench/scratch.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
echo "$(date -u '+%Y-%m-%d'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
"$build/bench/measure" "$build/lotrix20" "$build/bench/textbook_integers" \
  "$build/bench/textbook_reals" "${1:-5000000}" "${2:-7}"
