#!/bin/sh
# Every choice, and an entry error, under valgrind's memcheck: any error fails the test.
# The program runs without a terminal (setsid), so its closing wait ends at once.
set -eu
binary=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for entries in '1\n2000\n1\n1\n' '2\n2000\n1\n1\n' '3\n2000\n2\n' '4\n-5\n5\n2000\n1\n7\n' \
               '4\n0\n2147483647\n' 'x\n'; do
  printf "$entries" | setsid -w valgrind -q --error-exitcode=1 --leak-check=full \
      --errors-for-leak-kinds=definite "$binary" > /dev/null
  echo "clean: $(printf "$entries" | tr '\n' ' ')"
done
