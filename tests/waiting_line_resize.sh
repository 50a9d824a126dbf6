#!/bin/sh
# A run that waits for the file another run holds says so on a line below its prompt; the
# terminal is narrowed meanwhile (tmux reflows its rows, as most terminals do). The line
# is drawn again to fit, and once the file is free nothing of it is left on the screen.
set -eu
program=$1
work=$(mktemp -d)
socket="lotrix-resize-$$"
trap 'tmux -L "$socket" kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
: >lotrix20.txt
flock lotrix20.txt sleep 1.5 &
sleep 0.3
tmux -L "$socket" new-session -d -x 100 -y 20 \
  "printf '3\n5\n1\n1\n' | TERM=xterm '$program'; sleep 30"
screen() { tmux -L "$socket" capture-pane -p -J -t 0 2>/dev/null || true; }
wait_for() {
  for _ in $(seq 100); do
    screen | grep -q "$1" && return 0
    sleep 0.1
  done
  echo "never shown: $1"; screen; exit 1
}
wait_for "attendo che un altro calcolo"
tmux -L "$socket" resize-window -t 0 -x 30 -y 20
wait_for "sono stati generati 5 numeri"
shown=$(tmux -L "$socket" capture-pane -p -t 0)
if printf '%s\n' "$shown" | grep -qE 'attendo|inisca|scrivere nel'; then
  echo "the waiting line left rows behind:"; printf '%s\n' "$shown"; exit 1
fi
echo "1 passed, 0 failed"
