#!/bin/sh
# Builds the Debian package from the build folder, has lintian look at it (where lintian
# is installed), unpacks it into a temporary folder and runs the unpacked program through
# a short dialogue.
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/lotrix20_*_*.deb)
echo "built $(basename "$deb")"
dpkg-deb --info "$deb" | grep -E '^ (Package|Version|Section|Depends|Architecture):'
dpkg-deb --info "$deb" | grep -q '^ Depends:.*libc6' || { echo "no libc dependency"; exit 1; }
# The program needs no C++ runtime library: a lighter start and a smaller footprint.
if dpkg-deb --info "$deb" | grep -q '^ Depends:.*libstdc'; then echo "depends on libstdc++"; exit 1; fi
if command -v lintian >/dev/null; then
  # root or not, the same verdict; lintian only warns that it runs as root
  findings=$(lintian --pedantic "$deb" 2>/dev/null | grep -E '^[EW]: ' || true)
  [ -z "$findings" ] || { echo "lintian:"; echo "$findings"; exit 1; }
  echo "lintian --pedantic: no error, no warning"
else
  echo "lintian is not installed: the package's lint is not checked"
fi
dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/lotrix20 usr/share/man/man1/lotrix20.1.gz usr/share/doc/lotrix20/README.md \
            usr/share/doc/lotrix20/copyright usr/share/doc/lotrix20/changelog.Debian.gz \
            usr/share/bash-completion/completions/lotrix20; do
  [ -f "$work/root/$file" ] || { echo "missing $file"; exit 1; }
done
mkdir "$work/run"
cd "$work/run"
output=$(printf '3\n3\n1\n1\n' | setsid -w "$work/root/usr/bin/lotrix20")
printf '%s\n' "$output" | grep -q 'sono stati generati 3 numeri casuali in' || { echo "no summary"; exit 1; }
expected='seme = 1;  numeri da generare = 3
(interi tra 0 e 2.147.483.647)

       16807
   282475249
  1622650073'
[ "$(head -n 6 lotrix20.txt)" = "$expected" ] || { echo "unexpected record:"; cat lotrix20.txt; exit 1; }
echo "the unpacked program ran"
