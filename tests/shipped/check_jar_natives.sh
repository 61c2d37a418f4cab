#!/bin/sh
# Checks every native library the jar carries under natives/: each listed in
# natives/index.txt and none left out, and none carrying debug information,
# an ELF symbol table or a folder of the machine that built it.
# usage: check_jar_natives.sh JAR
set -eu
jar=$1
here=$(dirname "$0")
. "$here/build_traces.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unzip -q "$jar" 'natives/*' -d "$tmp"
(cd "$tmp/natives" && find . -type f ! -name index.txt | sed 's|^\./||' | LC_ALL=C sort) >"$tmp/packed"
LC_ALL=C sort "$tmp/natives/index.txt" >"$tmp/listed"
diff -u "$tmp/listed" "$tmp/packed" || { echo "natives/index.txt differs from the jar (- listed, + packed)"; exit 1; }
while read -r lib; do
  no_build_traces "$tmp/natives/$lib"
  echo "$lib: $(wc -c <"$tmp/natives/$lib") bytes"
done <"$tmp/packed"
