#!/bin/sh
# The README's example of one sequence split across four processes with --skip: its
# commands, run as they stand, join to the bytes of one run.
set -eu
readme=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$program" "$work/bin/lotrix20"
awk '/^Four processes making/ {found = 1} found && /^```/ {if (inside) exit; inside = 1; next}
     inside' "$readme" >"$work/example.sh"
[ -s "$work/example.sh" ] || { echo "no example in $readme"; exit 1; }
(cd "$work" && PATH="$work/bin:$PATH" sh -e example.sh)
[ "$(wc -l <"$work/joined.txt")" = 1000000 ] || { echo "not a million lines"; exit 1; }
echo "1 passed, 0 failed"
