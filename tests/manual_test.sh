#!/bin/sh
# The manual page renders with groff's man macros and every warning on, without a word
# on standard error, and carries the sections a reader looks for.
set -eu
page=$1
warnings=$(groff -man -ww -Tutf8 "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  echo "groff warns:"; echo "$warnings"; exit 1
fi
text=$(groff -man -Tascii -P-cbou "$page")
for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" EXAMPLES NOTES; do
  printf '%s\n' "$text" | grep -q "^$section\$" || { echo "no section $section"; exit 1; }
done
echo "manual renders cleanly"
