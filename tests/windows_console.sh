#!/usr/bin/env bash
# The Windows build at a console (wine makes a tmux pane its console): a key stops a long
# run, the record is whole and says how many numbers it holds, as the console's summary
# does, and the closing wait ends at the next key.
# Usage: windows_console.sh WINDOWS_LOTRIX20_EXE
set -uo pipefail
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
socket=lotrix-console-$$
trap 'tmux -L "$socket" kill-server 2>/dev/null; rm -rf "$work"' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wine}
cp "$exe" "$work/lotrix20.exe"
printf '3\n2000000000\n1\n1\n' >"$work/entries.txt"

fail() { echo "$1"; tmux -L "$socket" capture-pane -p -t run 2>/dev/null | tail -5; echo "0 passed, 1 failed"; exit 1; }
# Waits up to 30 s for the pane to show a text.
wait_for() {
  for _ in $(seq 300); do
    tmux -L "$socket" capture-pane -p -J -t run | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

# The entries come from a file; the keys from the console, which is the pane.
tmux -L "$socket" new-session -d -s run -x 150 -y 40 \
  "cd '$work' && wine cmd /c 'lotrix20.exe < entries.txt'; echo \"ended \$?\" >'$work/ended'; sleep 60"
wait_for "interrompere il calcolo" || fail "the run did not start"
sleep 0.2
tmux -L "$socket" send-keys -t run q
wait_for "premi un tasto qualsiasi per uscire" || fail "a key did not stop the run"
sleep 0.2
tmux -L "$socket" send-keys -t run k
for _ in $(seq 100); do [ -e "$work/ended" ] && break; sleep 0.1; done
[ "$(cat "$work/ended" 2>/dev/null)" = "ended 0" ] || fail "the closing wait did not end at a key"

shown=$(tmux -L "$socket" capture-pane -p -J -t run | sed -n 's/.*sono stati generati \([0-9]*\) numeri.*/\1/p' | tail -1)
python3 - "$work/lotrix20.txt" "$shown" <<'PY' || fail "the record is not whole"
import sys
record = open(sys.argv[1], 'rb').read()
shown = int(sys.argv[2])
head = b"seme = 1;  numeri da generare = 2000000000\r\n(interi tra 0 e 2.147.483.647)\r\n\r\n"
assert record.startswith(head), record[:100]
body = record[len(head):]
summary = body.index(b"sono stati generati ")
numbers = body[:summary]
assert len(numbers) % 14 == 0 and len(numbers) // 14 == shown > 0, (len(numbers), shown)
assert int(numbers[-14:]) == pow(16807, shown, 2147483647)  # the shown-th value from seed 1
assert body[summary:].startswith(b"sono stati generati %d numeri casuali in " % shown)
assert body.endswith(b"\r\n" * 5)
PY
echo "stopped after $shown numbers"
echo "1 passed, 0 failed"
