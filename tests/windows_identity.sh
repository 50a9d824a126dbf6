#!/usr/bin/env bash
# The Windows build under wine writes the bytes the Linux build writes, every "\n" made
# CR LF: the console text and the record, for each choice, each error path, a record after
# a torn line, a 1,000,000-number record of each choice, four runs writing into one file
# at once, a file renamed while a run waits for it, and --verify on records of both. The summaries' times may
# differ between the two runs and are compared as "T".
# Usage: windows_identity.sh LINUX_LOTRIX20 WINDOWS_LOTRIX20_EXE
set -uo pipefail
linux=$1
windows=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
export WINEPREFIX=${WINEPREFIX:-$(dirname "$windows")/wine}

times() { perl -pe 's/in \d+ (minuti \d\d )?secondi/in T/g'; }
crlf() { perl -pe 's/\n/\r\n/g'; }

passed=0
failed=0
tally() {  # tally STATUS WHY: one check counted by its status (0: passed), WHY said if not
  if [ "$1" = 0 ]; then passed=$((passed + 1)); else [ -z "$2" ] || echo "$2"; failed=$((failed + 1)); fi
}
check() {  # check NAME INPUT [FILE-BEFORE]
  local name=$1 input=$2 before=${3-}
  for side in linux windows; do
    rm -rf "$work/$side" && mkdir "$work/$side"
    [ -n "$before" ] && printf '%s' "$before" >"$work/$side/lotrix20.txt"
    printf '%b' "$input" >"$work/input"
  done
  (cd "$work/linux" && setsid -w "$linux" <"$work/input" >"$work/linux.out")
  local linuxStatus=$?
  (cd "$work/windows" && setsid -w wine "$windows" <"$work/input" >"$work/windows.out")
  local windowsStatus=$?
  # The program always writes its menu first: a failure with nothing written is wine's own
  # (a program it could not start, seen under load), and the run is made once more.
  if [ "$windowsStatus" != 0 ] && [ ! -s "$work/windows.out" ]; then
    echo "$name: wine wrote nothing (status $windowsStatus): run once more"
    rm -rf "$work/windows" && mkdir "$work/windows"
    [ -n "$before" ] && printf '%s' "$before" >"$work/windows/lotrix20.txt"
    (cd "$work/windows" && setsid -w wine "$windows" <"$work/input" >"$work/windows.out")
    windowsStatus=$?
  fi
  local ok=1
  [ "$linuxStatus" = "$windowsStatus" ] || { echo "$name: status $linuxStatus vs $windowsStatus"; ok=0; }
  cmp -s <(times <"$work/linux.out" | crlf) <(times <"$work/windows.out") ||
    { echo "$name: console text differs ($(wc -c <"$work/windows.out") bytes under wine)"; ok=0; }
  if [ -e "$work/linux/lotrix20.txt" ] || [ -e "$work/windows/lotrix20.txt" ]; then
    cmp -s <(times <"$work/linux/lotrix20.txt" | crlf) <(times <"$work/windows/lotrix20.txt") ||
      { echo "$name: record differs"; ok=0; }
  fi
  [ $ok = 1 ]
  tally $? ""
}

for choice in 1 2 3; do check "choice $choice" "$choice\n20\n1\n7\n"; done
check "choice 4" '4\n-3\n2\n20\n1\n1\n'
check "seed 2147483647" '2\n5\n1\n2147483647\n'
check "a record after a torn line" '3\n3\n1\n1\n' '   89'
for input in '0\n' '5\n' 'a\n' '4\n3\n3\n' '4\nx\n' '4\n-2\n2147483646\n' '3\n0\n' '3\n9\n7\n' \
             '3\n9\n1\n0\n' '3\n9\n1\n' ''; do
  check "error path '$input'" "$input"
done
for choice in 1 2 3; do check "1000000 numbers of choice $choice" "$choice\n1000000\n1\n1\n"; done
check "1000000 numbers of choice 4" '4\n-1000000000\n1000000000\n1000000\n1\n1\n'

# Four runs at once into one file: each record whole and contiguous, the one the Linux build
# writes alone for that seed, whatever wine makes of appending.
shared() {
  rm -rf "$work/shared" && mkdir "$work/shared"
  local seed pids=()
  for seed in 1 2 3 4; do
    (cd "$work/shared" && printf '3\n300000\n1\n%d\n' "$seed" |
      setsid -w wine "$windows" >/dev/null) &
    pids+=($!)
  done
  wait "${pids[@]}"
  : >"$work/expected"
  for seed in $(sed -n 's/^seme = \([0-9]*\);.*/\1/p' "$work/shared/lotrix20.txt"); do
    rm -rf "$work/alone" && mkdir "$work/alone"
    (cd "$work/alone" && printf '3\n300000\n1\n%d\n' "$seed" | setsid -w "$linux" >/dev/null)
    times <"$work/alone/lotrix20.txt" | crlf >>"$work/expected"
  done
  [ "$(grep -ac '^seme = ' "$work/shared/lotrix20.txt")" = 4 ] &&
    cmp -s "$work/expected" <(times <"$work/shared/lotrix20.txt")
  tally $? "four runs into one file: the records are not whole and contiguous"
}
shared

# A file renamed while a run waits for its lock (a log's rotation): the record goes into
# the new file under the name, the old one keeps what it had. The lock is held here as
# wine takes it, a POSIX lock on the byte far past the end. The rename waits until the run
# has the file open: wine can take seconds to start on a loaded machine, and a run that
# opened the name only after the rename would miss the case (or race with the new file).
moved() {
  rm -rf "$work/moved" && mkdir "$work/moved" && cd "$work/moved"
  echo old >d.txt
  perl -e '
    use Cwd qw(abs_path);
    use Fcntl qw(F_SETLKW F_WRLCK SEEK_SET O_RDWR);
    use Time::HiRes qw(sleep);
    sysopen(my $file, "d.txt", O_RDWR) or die;
    my $lock = pack("s s x4 q q i x4", F_WRLCK, SEEK_SET, 0x7FFFFFFFFFFFFFFE, 1, 0);
    fcntl($file, F_SETLKW, $lock) or die "no lock: $!";
    my $run = fork // die;
    if ($run == 0) { exec @ARGV or die }
    my $path = abs_path("d.txt");
    my $perl = readlink("/proc/$$/exe");
    OPENED: for (1 .. 1200) {
      for my $fd (glob "/proc/[0-9]*/fd/*") {
        my ($pid) = $fd =~ m{^/proc/(\d+)/};
        next if (readlink("/proc/$pid/exe") // "") eq $perl;  # this script, or its child before exec
        my $target = readlink $fd;
        last OPENED if defined $target && $target eq $path;
      }
      sleep 0.05;
    }
    sleep 0.5;
    rename "d.txt", "d.txt.1" or die;
    open(my $new, ">", "d.txt") or die; print $new "new\n"; close $new;
    close $file;
    waitpid($run, 0);
    exit($? >> 8);' setsid -w wine "$windows" -c 3 -n 3 -s 1 -o d.txt
  local status=$?
  cd - >/dev/null
  [ "$status" = 0 ] && [ "$(cat "$work/moved/d.txt.1")" = old ] &&
    [ "$(head -c 12 "$work/moved/d.txt")" = "$(printf 'new\nseme = 1')" ]
  tally $? "a file renamed while a run waits: status $status, the record is not under the name"
}
moved

# --verify on a file holding records of both builds: each build finds every record
# genuine, and says so in the same words.
verified() {
  rm -rf "$work/verified" && mkdir "$work/verified" && cd "$work/verified"
  "$linux" -c 3 -n 1000 -s 7 -o mixed.txt && "$linux" -c 4 -l -3 -u 9 -n 50 -s 2 -o mixed.txt &&
    setsid -w wine "$windows" -c 2 -n 1000 -s 5 -o mixed.txt &&
    setsid -w wine "$windows" -c 1 -n 30 -s 9 -o mixed.txt
  "$linux" --verify mixed.txt >linux.out
  local linuxStatus=$?
  setsid -w wine "$windows" --verify mixed.txt >windows.out
  local windowsStatus=$?
  cd - >/dev/null
  [ "$linuxStatus" = 0 ] && [ "$windowsStatus" = 0 ] &&
    grep -q '^4 records: 4 genuine' "$work/verified/linux.out" &&
    cmp -s <(crlf <"$work/verified/linux.out") "$work/verified/windows.out"
  tally $? "--verify on records of both builds: status $linuxStatus and $windowsStatus"
}
verified

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
