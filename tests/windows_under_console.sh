#!/usr/bin/env bash
# Runs a Windows test program under wine with a console: a pseudo-terminal (script) that
# wine makes the console, its input a FIFO that never ends (an ended input would turn into
# stray key events). The exit status is the program's.
# Usage: windows_under_console.sh PROGRAM.exe [ARGUMENTS...]
set -u
work=$(mktemp -d)
fifo=$work/input
mkfifo "$fifo"
sleep 600 >"$fifo" &
holder=$!
trap 'kill $holder 2>/dev/null; rm -rf "$work"' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$1")/.." && pwd)/wine}
command=$(printf '%q ' wine "$@")
run() {
  script -qec "$command" "$work/typescript" <"$fifo" >/dev/null
  status=$?
  # wine draws the console with sequences: each character between hiding and showing the
  # cursor, each blank as an erase and a move right. Read back as plain lines.
  tr -d '\r' <"$work/typescript" |
    sed -e 's/\x1b\[?25[lh]//g' -e 's/\x1b\[K\x1b\[1C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' \
      >"$work/text"
}
run
# A test program writes its banner first: a run without it is wine's own failure (a
# program it could not start, seen under load). What wine said is shown, and the run is
# made once more.
if ! grep -q '^\[==========\]' "$work/text"; then
  echo "wine ran nothing (status $status), and said:"
  tail -n 20 "$work/text"
  echo "run once more"
  run
fi
grep -E '^\[ +(OK|FAILED|PASSED|SKIPPED) +\]|Failure|Expected|Which is' "$work/text" ||
  tail -n 20 "$work/text"
exit $status
