#!/usr/bin/env bash
# Builds Release and measures the whole program against the textbook loops and dd.
# Usage: bench/run.sh [COUNT] [ROUNDS] [BEFORE]   (defaults: 20000000 numbers, 7 rounds)
# BEFORE, another build of lotrix20 (say, of the commit before a change), runs beside this
# one in every scenario, alternating, so that the two are compared within one run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
(cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null)
# The same program without the hardening flags, to show what they cost.
plain="$root/build-bench-plain"
(cd "$root" && cmake --preset bench -B "$plain" -DLOTRIX_HARDENING=OFF >/dev/null &&
  cmake --build "$plain" -j2 --target lotrix20 >/dev/null)
# The files on the checkout's own file system (/tmp may be tmpfs), the program's and dd's.
scratch=$(mktemp -d "$build/scratch.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
echo "$(date -u '+%Y-%m-%d'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), files on $(df -T "$scratch" | awk 'NR == 2 {print $2}'); $(uptime)"
"$build/bench/measure" "$build/lotrix20" "$build/bench/textbook_integers" \
  "$build/bench/textbook_reals" "${1:-20000000}" "${2:-7}" "$plain/lotrix20" ${3:+"$3"}
