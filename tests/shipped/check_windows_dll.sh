#!/bin/sh
# Checks a shipped 32-bit Windows DLL: it exports exactly the JNI header's
# entry points as a 32-bit VM looks them up (_Name@N, 4 bytes per argument
# slot, a long taking two), nothing else, and imports no DLL beyond the
# allowed ones (no mingw runtime).
# usage: check_windows_dll.sh DLL JNI_HEADER ALLOWED_IMPORT...
set -eu
dll=$1 header=$2
shift 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

tr '\n' ' ' <"$header" | grep -o 'Java_[A-Za-z0-9_]* *([^)]*)' | awk '{
  name = $1; sub(/ *\(.*/, "", name)
  params = $0; sub(/^[^(]*\(/, "", params); sub(/\).*$/, "", params)
  n = split(params, p, ",")
  bytes = 0
  for (i = 1; i <= n; i++) bytes += (p[i] ~ /jlong|jdouble/) ? 8 : 4
  printf "_%s@%d\n", name, bytes
}' | sort >"$tmp/declared"
i686-w64-mingw32-objdump -p "$dll" \
  | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
  | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort >"$tmp/exported"
if ! diff -u "$tmp/declared" "$tmp/exported"; then
  echo "exports differ from the JNI header (- declared, + exported)"
  exit 1
fi

i686-w64-mingw32-objdump -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' \
  | tr 'A-Z' 'a-z' | sort -u >"$tmp/imported"
printf '%s\n' "$@" | tr 'A-Z' 'a-z' | sort -u >"$tmp/allowed"
if [ -n "$(comm -13 "$tmp/allowed" "$tmp/imported")" ]; then
  echo "imports beyond the allowed ones:"
  comm -13 "$tmp/allowed" "$tmp/imported"
  exit 1
fi
echo "$(wc -l <"$tmp/exported") entry points, imports: $(tr '\n' ' ' <"$tmp/imported")"
