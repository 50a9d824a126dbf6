#!/bin/sh
# A first configure on a machine without a compiler, then one with a compiler: the second
# stops with a clear message (never an unoptimised Release build), and --fresh, which the
# message names, then gives an optimised one.
set -eu
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
for tool in cmake sh make; do ln -s "$(command -v $tool)" "$work/bin/$tool"; done
if PATH="$work/bin" cmake -S "$source" -B "$work/build" -DLOTRIX_TESTS=OFF >/dev/null 2>&1; then
  echo "a configure without a compiler succeeded"; exit 1
fi
if said=$(cmake -S "$source" -B "$work/build" -DLOTRIX_TESTS=OFF 2>&1); then
  echo "the second configure built unoptimised flags without a word"; exit 1
fi
printf '%s\n' "$said" | grep -q -- '--fresh' || { echo "no --fresh in: $said"; exit 1; }
cmake -S "$source" -B "$work/build" -DLOTRIX_TESTS=OFF --fresh >/dev/null
grep -q '^CMAKE_CXX_FLAGS_RELEASE:STRING=.*-O[1-3]' "$work/build/CMakeCache.txt"
echo "1 passed, 0 failed"
