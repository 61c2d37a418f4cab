#!/bin/sh
# Checks a shipped Windows DLL: it exports exactly the JNI header's entry
# points as the VM of its processor looks them up (32-bit: _Name@N, 4 bytes
# per argument slot, a long taking two; 64-bit: the plain name), nothing
# else, imports no DLL beyond the allowed ones (no mingw runtime), and is
# stripped, naming none of the build's folders.
# usage: check_windows_dll.sh DLL JNI_HEADER ALLOWED_IMPORT...
set -eu
dll=$1 header=$2
shift 2
. "$(dirname "$0")/build_traces.sh"
no_build_traces "$dll"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

objdump=
for tool in i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump; do
  if "$tool" -f "$dll" 2>/dev/null | grep -q 'file format pei-'; then
    objdump=$tool
    break
  fi
done
[ -n "$objdump" ] || { echo "not a Windows DLL: $dll"; exit 1; }
decorated=1
"$objdump" -f "$dll" | grep -q 'file format pei-x86-64' && decorated=0

tr '\n' ' ' <"$header" | grep -o 'Java_[A-Za-z0-9_]* *([^)]*)' | awk -v decorated=$decorated '{
  name = $1; sub(/ *\(.*/, "", name)
  params = $0; sub(/^[^(]*\(/, "", params); sub(/\).*$/, "", params)
  n = split(params, p, ",")
  bytes = 0
  for (i = 1; i <= n; i++) bytes += (p[i] ~ /jlong|jdouble/) ? 8 : 4
  if (decorated) printf "_%s@%d\n", name, bytes; else print name
}' | sort >"$tmp/declared"
"$objdump" -p "$dll" \
  | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
  | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort >"$tmp/exported"
if ! diff -u "$tmp/declared" "$tmp/exported"; then
  echo "exports differ from the JNI header (- declared, + exported)"
  exit 1
fi

"$objdump" -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' \
  | tr 'A-Z' 'a-z' | sort -u >"$tmp/imported"
printf '%s\n' "$@" | tr 'A-Z' 'a-z' | sort -u >"$tmp/allowed"
if [ -n "$(comm -13 "$tmp/allowed" "$tmp/imported")" ]; then
  echo "imports beyond the allowed ones:"
  comm -13 "$tmp/allowed" "$tmp/imported"
  exit 1
fi
echo "$(wc -l <"$tmp/exported") entry points, imports: $(tr '\n' ' ' <"$tmp/imported")"
