#!/bin/sh
# The manual page renders with groff's man macros and every warning on, without a word
# on standard error, carries the sections a reader looks for, and its SYNOPSIS names
# every option the program's own usage names.
set -eu
page=$1
program=$2
warnings=$(groff -man -ww -Tutf8 "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  echo "groff warns:"; echo "$warnings"; exit 1
fi
text=$(groff -man -Tascii -P-cbou "$page")
for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" EXAMPLES NOTES; do
  printf '%s\n' "$text" | grep -q "^$section\$" || { echo "no section $section"; exit 1; }
done
synopsis=$(printf '%s\n' "$text" | sed -n '/^SYNOPSIS$/,/^DESCRIPTION$/p')
usage=$("$program" --help | sed '/^$/q')
for option in $(printf '%s\n' "$usage" | grep -oE -- '--?[a-zA-Z][a-z-]*' | sort -u); do
  printf '%s\n' "$synopsis" | grep -q -- "$option\\b" ||
    { echo "the SYNOPSIS lacks $option"; exit 1; }
done
echo "manual renders cleanly"
