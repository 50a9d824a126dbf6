#!/bin/sh
# The bash completion offers every long option that --help lists, and no other.
set -eu
program=$1
completion=$2
listed=$("$program" --help | grep -o -e '--[a-z][a-z-]*' | sort -u)
offered=$(sed -n "/compgen -W '-/,/' --/p" "$completion" | grep -o -e '--[a-z][a-z-]*' | sort -u)
if [ "$listed" != "$offered" ]; then
  echo "--help and the completion differ (< help, > completion):"
  printf '%s\n' "$listed" >"${TMPDIR:-/tmp}/listed.$$"
  printf '%s\n' "$offered" | diff "${TMPDIR:-/tmp}/listed.$$" - || true
  rm -f "${TMPDIR:-/tmp}/listed.$$"
  exit 1
fi
echo "the completion offers the $(printf '%s\n' "$listed" | wc -l) long options --help lists"
