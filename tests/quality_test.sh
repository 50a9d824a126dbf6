#!/bin/sh
# The quality report's script on a small count: every picture, the summary, a chi-square
# and a table per choice.
# Usage: quality_test.sh LOTRIX20
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
LOTRIX20=$1 DIEHARDER_TESTS=100 ZOOM_COUNT=20000 bash "$here/../tools/quality.sh" 20000 "$out" >/dev/null
for choice in 1 2 3 4; do
  for picture in histogram pairs lattice; do
    file="$out/quality/choice$choice-$picture.png"
    head -c 8 "$file" | od -An -c | grep -q 'P   N   G' || { echo "no picture $file"; exit 1; }
  done
done
rows=$(grep -cE '^\| sts_monobit \| 1 \| [0-9.]+ \| (PASSED|WEAK|FAILED) \|$' "$out/quality.md")
[ "$rows" = 4 ] || { echo "expected a battery table per choice, found $rows rows"; exit 1; }
grep -q '^| 65536 | 32767 | 32768 |' "$out/quality.md" || { echo "no table of choice 4's spread"; exit 1; }
grep -q '^| 4 | 2^31 - 2 | .* PASSED, ' "$out/quality.md" || { echo "no summary of the four choices"; exit 1; }
grep -q '^Histogram: chi-square [0-9.]* over the 100 bins' "$out/quality.md" || { echo "no chi-square"; exit 1; }
echo "the report's pictures and tables are made"
