#!/bin/sh
# The README's example of one sequence split across four processes with --skip: its
# commands, run as they stand in a checkout's folder (twice: the files are written afresh),
# join to the bytes of one run.
set -eu
readme=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/build"
ln -s "$program" "$work/build/lotrix20"
awk '/^Four processes making/ {found = 1} found && /^```/ {if (inside) exit; inside = 1; next}
     inside' "$readme" >"$work/example.sh"
[ -s "$work/example.sh" ] || { echo "no example in $readme"; exit 1; }
for time in first second; do
  (cd "$work" && sh -e example.sh) || { echo "the example failed the $time time"; exit 1; }
  [ "$(wc -l <"$work/joined.txt")" = 1000000 ] || { echo "not a million lines"; exit 1; }
done
echo "1 passed, 0 failed"
