#!/usr/bin/env bash
# The quality report: for each choice, a histogram and plots of successive pairs (PNG, by
# gnuplot), the field's test battery (dieharder) on the choice's bit stream, and ent, all
# written into doc/quality/ and doc/quality.md. Fixed seeds: the same run makes the same
# pictures and p-values.
#
# Usage: tools/quality.sh [COUNT] [OUT]
#   COUNT  numbers per histogram and pair plot (default 1000000)
#   OUT    where the report goes (default doc/; the pictures go in OUT/quality/)
# DIEHARDER_TESTS overrides the battery (dieharder test numbers, blank-separated);
# ZOOM_COUNT the numbers drawn for the lattice plots (default 10000000); LOTRIX20 the
# program to use (default build/lotrix20); PICTURES_ONLY=1 redraws the pictures alone.
# The whole report takes about half an hour on two cores (the battery most of it); its
# progress is said on standard error.
# Needs: gnuplot-nox, dieharder, ent, python3 (Debian), g++, and the program (built here if missing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-1000000}
out=${2:-$root/doc}
pictures=$out/quality
tests=${DIEHARDER_TESTS:-0 1 2 3 4 8 9 15 17 100 101 102 202 203}
zoom=${ZOOM_COUNT:-10000000}
seed=20261207
M=2147483647
lotrix=${LOTRIX20:-$root/build/lotrix20}
[ -x "$lotrix" ] || { cmake -S "$root" -B "$root/build" >/dev/null && cmake --build "$root/build" --target lotrix20 >/dev/null; }
for tool in gnuplot dieharder ent python3 g++; do
  command -v $tool >/dev/null || { echo "quality.sh needs $tool (apt-get install -y gnuplot-nox dieharder ent python3)"; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$pictures"
g++ -O2 -o "$work/pack_bits" "$root/tools/pack_bits.cpp"

# What each choice is run with, how its bits are taken, and its range for the pictures.
options() {  # options CHOICE: the command line's generator options
  case $1 in
    1) echo "-c 1" ;; 2) echo "-c 2" ;; 3) echo "-c 3" ;; 4) echo "-c 4 -l 1 -u 100" ;;
  esac
}
battery_options() {  # battery_options CHOICE: the generator options for the bit stream
  case $1 in 4) echo "-c 4 -l 0 -u 65535" ;; *) options "$1" ;; esac
}
packing() {  # packing CHOICE: how pack_bits takes the bits of a number
  case $1 in 1) echo "int 15" ;; 2) echo "real 31" ;; 3) echo "int 31" ;; 4) echo "int 16" ;; esac
}
range() {  # range CHOICE: lowest and highest value a number can take, for the pictures
  case $1 in 1) echo "0 32767" ;; 2) echo "0 1" ;; 3) echo "1 $((M - 1))" ;; 4) echo "1 100" ;; esac
}
numbers() {  # numbers CHOICE COUNT [OPTIONS]: the number lines, bare
  local choice=$1 n=$2
  shift 2
  "$lotrix" ${*:-$(options "$choice")} -n "$n" -s "$seed" --numbers-only -o - | tr -d ' +'
}

plot_choice() {
  local choice=$1 low high
  read -r low high <<<"$(range "$choice")"
  numbers "$choice" "$count" >"$work/numbers"
  # 100 bins over [low, high]; integers count by how many of them fall in each bin.
  awk -v low="$low" -v high="$high" -v n="$count" -v integer=$([ "$choice" = 2 ] && echo 0 || echo 1) '
    { b = int(($1 - low) * 100 / (high - low + integer)); if (b > 99) b = 99; hits[b]++ }
    END {
      for (b = 0; b < 100; b++) {
        from = low + b * (high - low + integer) / 100; to = low + (b + 1) * (high - low + integer) / 100
        share = integer ? (int(to - 1e-9) - int(from - 1e-9)) / (high - low + 1) : 0.01
        if (integer && b == 0) share = (int(to - 1e-9) - low + 1) / (high - low + 1)
        expected = n * share
        printf "%g %d %g %g\n", (from + to) / 2, hits[b], expected, 2 * sqrt(expected * (1 - share))
      }
    }' "$work/numbers" >"$work/bins"
  # The fit over all bins: chi-square (99 degrees of freedom) and the bins outside 2 sigma.
  awk '{ chi += ($2 - $3) ^ 2 / $3; if ($2 < $3 - $4 || $2 > $3 + $4) out++ }
    END { printf "chi-square %.1f over the 100 bins (99 degrees of freedom: 73.4 to 128.4 in 95%% of samples); %d bins outside the band\n", chi, out }' \
    "$work/bins" >"$work/fit$choice"
  awk 'NR > 1 && NR <= 200001 { print previous, $1 } { previous = $1 }' "$work/numbers" >"$work/pairs"
  gnuplot <<GNUPLOT
set terminal pngcairo size 900,420 font ",10"
set output "$pictures/choice$choice-histogram.png"
set title "Choice $choice: $count values in 100 bins (seed $seed)"
set xlabel "value"; set ylabel "count"
# Integers count to the end of the last value's bin, so that the last bin is whole.
set xrange [$low:$high + $([ "$choice" = 2 ] && echo 0 || echo 1)]
set key outside right top vertical
plot "$work/bins" using 1:(\$3-\$4):(\$3+\$4) with filledcurves lc rgb "#d0e0f0" title "expected ± 2σ", \
     "" using 1:2 with histeps lw 1.5 lc rgb "#204080" title "counted", \
     "" using 1:3 with lines dt 2 lc rgb "#000000" title "expected"
set output "$pictures/choice$choice-pairs.png"
set title "Choice $choice: successive pairs (x_i, x_{i+1}), the first 200000"
set xlabel "x_i"; set ylabel "x_{i+1}"
set size square
set key off
set xrange [$low:$high]
set yrange [$low:$high]
plot "$work/pairs" using 1:2 with dots lc rgb "#204080"
GNUPLOT
}

# The lattice of a linear congruential generator: successive pairs lie on a few lines,
# visible in a narrow strip of x_i for the minimal-standard generator. The previous
# version's generator shows only 15 of its 32 bits, which hides its lattice in two
# dimensions: its strip is drawn too, to show that.
plot_zoom() {
  local choice=$1 options=$2 width=$3 title=$4
  numbers "$choice" "$zoom" $options |
    awk -v w="$width" 'NR > 1 && previous < w { print previous, $1 } { previous = $1 }' >"$work/zoom"
  gnuplot <<GNUPLOT
set terminal pngcairo size 700,620 font ",10"
set output "$pictures/choice$choice-lattice.png"
set title "$title"
set xlabel "x_i"; set ylabel "x_{i+1}"
set key off
set xrange [0:$width]
plot "$work/zoom" using 1:2 with points pt 7 ps 0.25 lc rgb "#204080"
GNUPLOT
}

# The battery takes most of the half hour: each test is said on standard error as it
# starts, with how many are left and the minutes gone.
started=$(date +%s)
say() {  # say TEXT: a progress line on standard error
  echo "quality.sh: $* ($((($(date +%s) - started) / 60)) min gone)" >&2
}

battery() {  # battery CHOICE: dieharder's verdicts, as rows of a Markdown table
  local choice=$1 done=0 total
  total=$(set -- $tests; echo $#)
  for test in $tests; do
    done=$((done + 1))
    say "choice $choice: dieharder test $test, $done of $total for this choice, choice $choice of 4"
    "$lotrix" $(battery_options "$choice") -n 2147483647 -s "$seed" --numbers-only -o - 2>/dev/null |
      tr -d ' +' | "$work/pack_bits" $(packing "$choice") | dieharder -g 200 -d "$test" 2>/dev/null |
      awk -F'|' '/\|/ && $2 ~ /^ *[0-9]+ *$/ {
        gsub(/ /, "", $1); gsub(/ /, "", $2); gsub(/ /, "", $5); gsub(/ /, "", $6)
        printf "| %s | %s | %s | %s |\n", $1, $2, $5, $6 }' || true
  done
}

entropy() {  # entropy CHOICE: ent on a million numbers' packed bits
  numbers "$choice" "$count" $(battery_options "$1") | "$work/pack_bits" $(packing "$1") >"$work/bits"
  ent "$work/bits" | sed -n 's/^Entropy = \([0-9.]*\) bits per byte./entropy \1 bits per byte/p;
    s/^would exceed this value \(.*\) percent of the times./chi-square exceeded \1% of the time/p;
    s/^Serial correlation coefficient is \([-0-9.]*\).*/serial correlation \1/p' | paste -sd ';' | sed 's/;/; /g'
}

for choice in 1 2 3 4; do
  say "choice $choice: histogram and pairs"
  plot_choice "$choice"
done
say "the lattices"
plot_zoom 1 "-c 1" 16 "Choice 1: successive pairs with x_i below 16, from the first $zoom"
plot_zoom 2 "-c 2" 0.0012 "Choice 2: successive pairs with x_i below 0.0012: the lines of the lattice"
plot_zoom 3 "-c 3" 2560000 "Choice 3: successive pairs with x_i below 2560000: the lines of 16807 x mod (2^{31} - 1)"
plot_zoom 4 "-c 4 -l 0 -u 2147483646" 2560000 "Choice 4 (bounds 0 to 2147483646): the same lattice"
[ -z "${PICTURES_ONLY:-}" ] || exit 0

for choice in 1 2 3 4; do
  battery "$choice" >"$work/battery$choice"
  say "choice $choice: ent"
  entropy "$choice" >"$work/ent$choice"
done
say "the report"

# Choice 4's non-uniformity: the 2147483646 states a step can give (1 to M - 1) fall on
# the interval's values as floor(width * r / M), so each value gets q or q + 1 states,
# q = floor(M / width), except the lower bound, which loses the state 0 that never comes.
python3 - 6 100 65536 1000000 1073741825 2147483647 >"$work/spread" <<'PY'
import sys
M = 2147483647
for w in map(int, sys.argv[1:]):
    q, extra = divmod(M, w)  # of the M states 0..M-1, `extra` values get q + 1, the rest q
    lower = -(-M // w) - 1   # the lower bound's states (it would get the state 0)
    more = extra - (1 if extra else 0)  # other values with q + 1
    fewer = (w - 1) - more              # other values with q
    counts = [lower] + ([q] if fewer else []) + ([q + 1] if more else [])
    smallest, largest = min(counts), max(counts)
    most = (more if largest == q + 1 else fewer) + (1 if lower == largest else 0)
    excess = f"{(largest - smallest) / smallest:.1e}" if smallest else "the lower bound never comes"
    print(f"| {w} | {smallest} | {largest} | {most} | {excess} |")
PY

summary() {  # summary CHOICE: the battery's verdicts counted
  awk -F'|' '{ gsub(/ /, "", $5); n[$5]++; total++ }
    END { printf "%d results: %d PASSED, %d WEAK, %d FAILED", total, n["PASSED"], n["WEAK"], n["FAILED"] }' \
    "$work/battery$1"
}
table() {  # table CHOICE
  echo "| test | ntup | p-value | verdict |"
  echo "|---|---:|---:|---|"
  cat "$work/battery$1"
}

cat >"$out/quality.md" <<DOC
# How good are the numbers?

**None of the four is for security or for draws with money at stake.** Each is a linear
congruential generator: a few consecutive numbers give away its state, and from then on
every number to come; and a clock seed is the current second, which anyone can guess
within a few thousand tries. Use them for simulations, games, sampling and tests, where
being reproducible is the point.

| choice | period | bits that carry information | dieharder | good for | not for |
|---|---|---|---|---|---|
| 1 | 2^32 numbers (the parity repeats every 2^17) | 15 per number | $(summary 1) | the previous version's files, small simulations | more than 15 bits, long runs |
| 2 | 2^31 - 2 | 31 (about nine digits; the digits past the tenth are not random) | $(summary 2) | simulation inputs in (0, 1) | fine resolution, long simulations |
| 3 | 2^31 - 2 | 31 | $(summary 3) | reproducible simulations, checks against published values | long simulations, lattice-sensitive work |
| 4 | 2^31 - 2 | at most log2(width); slightly uneven unless the width divides 2^31 - 1 | $(summary 4) | dice, sampling from a range | widths from 2^30 + 1 (some values twice as likely) |

Choices 2, 3 and 4 come from one generator and seed: choice 2's bits, floor(x * 2^31),
are choice 3's steps again, so their battery tables below are expected to be identical;
choice 4's 16 bits are the top of the same steps. Only choice 1 has a generator of its own.
That is also why the histograms of choices 2, 3 and 4 look alike, bin for bin: with the
same seed each draws the same steps r and scales them to its range (r / (2^31 - 1) for
choice 2, r itself for choice 3, the bounds 1 and 100 for choice 4), so the step that
falls in a hundredth of one range falls in the same hundredth of the others.

Made by \`tools/quality.sh\` (run it again and every picture and number here comes back the
same): the program's batch mode makes the numbers (\`lotrix20 -c CHOICE ... -s $seed
--numbers-only -o -\`); gnuplot draws them; dieharder, the field's standard battery, and
ent judge their bits. Seed $seed throughout; $count numbers per histogram and pair plot.

How the numbers become bits for the battery (dieharder reads 32-bit words, and a bit that
is always 0 must not be fed to it as if it were random): choice 1's values 0 to 32767 give
15 bits each; choice 3's values 1 to 2147483646 give 31 bits each; choice 2's reals give
floor(x * 2^31), 31 bits; choice 4 runs with the bounds 0 and 65535 and gives 16 bits.
The bits of successive numbers follow each other without a gap (\`tools/pack_bits.cpp\`).
dieharder reads them from a pipe (\`-g 200\`), so no test ever rewinds the stream; the
tests run are dieharder's \`-d $tests\` with their default sample sizes.
Its verdict is PASSED, WEAK (a p-value below 0.005 or above 0.995, which one test in a
hundred shows by chance) or FAILED (below 0.000001 or above 0.999999).

Each histogram shows, per bin, the count expected and a band of two standard deviations
around it: a bin falls outside that band about one time in twenty by chance, so about 5
of the 100 bins are expected outside. The chi-square over all bins, under each histogram,
is the one number that judges the whole fit.

The one test that fails, Marsaglia and Tsang's GCD test (choices 2 and 3), runs Euclid's
algorithm on pairs of consecutive 32-bit words and compares how many steps it takes, and
the greatest common divisors it finds, with their laws for random words. Each number of
the minimal-standard generator is 16807 times the previous one modulo 2^31 - 1, a small
multiplier, so consecutive words are tied by a simple linear relation and Euclid's algorithm follows
paths that random words seldom take: the count of steps is off, and the test sees it in
every sample. A larger, better-chosen multiplier (48271, or a 64-bit generator) would
pass; the recorded files fix this one.

## Choice 1: integers 0 to 32767, the previous version's generator

state = state × 214013 + 2531011 mod 2^32, and the number is bits 16 to 30 of the state.

![Choice 1 histogram](quality/choice1-histogram.png)
![Choice 1 successive pairs](quality/choice1-pairs.png)
![Choice 1 lattice](quality/choice1-lattice.png)

Histogram: $(cat "$work/fit1"). dieharder: $(summary 1). ent: $(cat "$work/ent1").

$(table 1)

Good for: shuffling a few thousand items, simple simulations that need no more than 15
bits and no more than a few million numbers, and reproducing the previous version's files.
Where it fails: it has only 2^32 states, so the sequence repeats after 4294967296 numbers,
and the low bits of its state cycle much faster: bit 16, the lowest bit shown, has a
period of 2^17, so the numbers' parity repeats every 131072 numbers. Its lattice lies in
the 32-bit state; showing only bits 16 to 30 hides it in two dimensions (the strip above,
where x_i is below 16, spreads evenly), but the numbers are no better than the state
behind them. Only 15 bits per number; never use it where numbers must be unpredictable.

## Choice 2: reals between 0 and 1

One step r of the minimal-standard generator (choice 3) times K, the double nearest
4.656612875e-10.

![Choice 2 histogram](quality/choice2-histogram.png)
![Choice 2 successive pairs](quality/choice2-pairs.png)
![Choice 2 lattice](quality/choice2-lattice.png)

Histogram: $(cat "$work/fit2"). dieharder: $(summary 2). ent: $(cat "$work/ent2").

$(table 2)

Good for: simulation inputs in (0, 1) with about nine significant digits of resolution.
Where it fails: the values are multiples of K, so their granularity is 1/(2^31 - 1),
about 4.7e-10: no more than 2147483646 different values exist, the 17 digits written
beyond the tenth carry no randomness, and neither 0 nor 1 ever comes (the smallest value
is 4.6566128750000002e-10, the largest 0.99999999948155427). K is a little below
1/(2^31 - 1), so the values are r/(2^31 - 1) less about 5.3 parts in 10^11. The bits are
those of choice 3 and share its period and lattice.

## Choice 3: integers 1 to 2147483646, the minimal-standard generator

state = 16807 × state mod (2^31 - 1) (Park and Miller).

![Choice 3 histogram](quality/choice3-histogram.png)
![Choice 3 successive pairs](quality/choice3-pairs.png)
![Choice 3 lattice](quality/choice3-lattice.png)

Histogram: $(cat "$work/fit3"). dieharder: $(summary 3). ent: $(cat "$work/ent3").

$(table 3)

Good for: reproducible simulations of up to some millions of numbers where a well-known,
easily checked generator matters more than strength. Where it fails: its period is
2^31 - 2 (2147483646 numbers), short for today's simulations; 0 and 2147483647 never
come, although the header names the range 0 to 2.147.483.647; each number is 16807 times
the previous modulo 2^31 - 1, so successive pairs lie on lines of slope 16807, visible in
the narrow strip of the lattice plot above, and triples lie on few planes. The multiplier
16807 is known to be a poor one for that lattice (Park and Miller later recommended 48271).
A seed of 2147483647 makes it stick at 0.

## Choice 4: integers within bounds

floor(width × r / (2^31 - 1)) added to the lower bound, for one step r of choice 3; the
pictures use the bounds 1 and 100, the battery 0 and 65535.

![Choice 4 histogram](quality/choice4-histogram.png)
![Choice 4 successive pairs](quality/choice4-pairs.png)
![Choice 4 lattice](quality/choice4-lattice.png)

Histogram: $(cat "$work/fit4"). dieharder: $(summary 4). ent: $(cat "$work/ent4").

$(table 4)

Good for: dice, sampling from a range, and draws where nothing of value is at stake (a
class, a club's rota) and being able to show how each was made matters, with the same
reproducibility as
choice 3, whose period and lattice it shares (the lattice plot uses the bounds 0 and
2147483646, where the values are the steps themselves). Where it fails: unless the width
divides 2^31 - 1, its values are not exactly equally likely. Of the 2147483646 steps, each
value gets q = floor((2^31 - 1) / width) or q + 1, and the lower bound one fewer, since
the step 0 never comes:

| width | fewest steps a value gets | most | values with the most | largest excess |
|---:|---:|---:|---:|---:|
$(cat "$work/spread")

For the widths a person uses the excess is far below what any test can see (a die happens
to be exact: the only value with an extra step is the lower bound, which loses the step
0); it grows with the width, and from a width of 2^30 + 1 up some values are twice as
likely as others. Width 2147483647 never gives the lower bound.
DOC
echo "report written to $out/quality.md, pictures in $pictures"
