#!/usr/bin/env bash
# A build for another processor writes the very records this machine's build writes:
# 300,000 numbers of every choice from several seeds (2147483646 among them), and choice 4
# with several bounds, the widest included. The summaries' times may differ and are
# compared as "T".
# Usage: cross_identity.sh NATIVE_LOTRIX20 TARGET_LOTRIX20 [EMULATOR WORDS...]
set -uo pipefail
native=$1
target=$2
shift 2
emulator=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

times() { sed -E 's/in [0-9]+ (minuti [0-9]{2} )?secondi/in T/'; }

passed=0
failed=0
check() {  # check OPTIONS...
  "$native" "$@" -n 300000 -o - | times >"$work/native"
  if "${emulator[@]}" "$target" "$@" -n 300000 -o - | times >"$work/target" &&
     [ -s "$work/native" ] && cmp -s "$work/native" "$work/target"; then
    passed=$((passed + 1))
  else
    echo "differs: $*"
    failed=$((failed + 1))
  fi
}
for seed in 1 123456789 2147483646; do
  for choice in 1 2 3; do check -c "$choice" -s "$seed"; done
  check -c 4 -l -3 -u 2 -s "$seed"
done
check -c 4 -l -1000000 -u 1000000 -s 7
check -c 4 -l -2147483648 -u -2 -s 7         # the widest interval: 2147483647 values
check -c 4 -l 0 -u 2147483646 -s 2147483646  # as wide, from 0 up

echo "$passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" -gt 0 ]
