#!/bin/sh
# Checks a shipped JNI library: it exports exactly the entry points that the
# generated JNI header declares, needs no library beyond the allowed ones,
# and no glibc symbol newer than VELA_GLIBC_BASELINE (set by the build), so
# that it loads on the older distributions tills run; it is stripped, names
# none of the build's folders, and is hardened as Debian builds libraries
# (stack protector, read-only relocations bound at load; fortification is
# on too, but none of our calls leaves it a size to check at run time, so
# no __*_chk import shows it).
# usage: check_library.sh LIBRARY JNI_HEADER ALLOWED_NEEDED...
set -eu
baseline=${VELA_GLIBC_BASELINE:?the oldest glibc to load on}
lib=$1 header=$2
shift 2
. "$(dirname "$0")/build_traces.sh"
no_build_traces "$lib"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

grep -o 'Java_[A-Za-z0-9_]*' "$header" | sort -u >"$tmp/declared"
nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWDdBbRr]$/ {print $3}' \
  | grep -v -E '^(_init|_fini|_edata|_end|__bss_start)$' | sort -u >"$tmp/exported"
if ! diff -u "$tmp/declared" "$tmp/exported"; then
  echo "exported symbols differ from the JNI header (- declared, + exported)"
  exit 1
fi

readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort >"$tmp/needed"
printf '%s\n' "$@" | sort >"$tmp/allowed"
if ! diff -u "$tmp/allowed" "$tmp/needed"; then
  echo "NEEDED libraries differ from the allowed ones (- allowed, + needed)"
  exit 1
fi
newest=$(readelf -W --dyn-syms "$lib" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -1)
if [ -n "$newest" ] && [ "$(printf '%s\n%s\n' "$newest" "$baseline" | sort -V | tail -1)" != "$baseline" ]; then
  echo "needs glibc $newest, newer than $baseline:"
  readelf -W --dyn-syms "$lib" | grep "GLIBC_$newest"
  exit 1
fi

readelf -W -l "$lib" | grep -q GNU_RELRO || { echo "no read-only relocations (RELRO)"; exit 1; }
readelf -W -d "$lib" | grep -q '(FLAGS).*BIND_NOW' || { echo "symbols not bound at load (BIND_NOW)"; exit 1; }
readelf -W --dyn-syms "$lib" | grep -q ' __stack_chk_fail' || { echo "no stack protector"; exit 1; }
echo "$(wc -l <"$tmp/exported") entry points, needs: $(tr '\n' ' ' <"$tmp/needed")glibc ${newest:-none}," \
     "$(wc -c <"$lib") bytes"
