#!/bin/sh
# Checks the shipped universal macOS library as a Mac would load it: both
# slices (arm64 for macOS 11, x86_64 for macOS 10.13), each exporting
# exactly the entry points that the generated JNI header declares, loading
# only IOKit, CoreFoundation and libSystem, every import bound to one of
# them (two-level namespace, nothing flat or weak), each with a UUID, and
# the arm64 slice on 16 KiB pages with a valid ad hoc signature; no debug
# information and none of the build's folders in it.
# usage: check_macho.sh LIBRARY JNI_HEADER LLVM_OBJDUMP LLVM_NM LLVM_LIPO
set -eu
lib=$1 header=$2 objdump=$3 nm=$4 lipo=$5
here=$(dirname "$0")
. "$here/build_traces.sh"
no_build_traces "$lib"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "$*"; exit 1; }

archs=$("$lipo" -archs "$lib" | tr -s " " "\n" | grep . | sort | tr "\n" " ")
[ "$archs" = "arm64 x86_64 " ] || fail "slices: '$archs', wanted arm64 and x86_64"

grep -o 'Java_[A-Za-z0-9_]*' "$header" | sed 's/^/_/' | sort -u >"$tmp/declared"
cat >"$tmp/dylibs" <<'EOF'
/System/Library/Frameworks/CoreFoundation.framework/Versions/A/CoreFoundation
/System/Library/Frameworks/IOKit.framework/Versions/A/IOKit
/usr/lib/libSystem.B.dylib
EOF

for arch in arm64 x86_64; do
  "$nm" -gU --arch=$arch "$lib" | awk '{print $3}' | sort -u >"$tmp/exported"
  diff -u "$tmp/declared" "$tmp/exported" \
    || fail "$arch: exports differ from the JNI header (- declared, + exported)"

  "$objdump" --macho --private-headers --arch=$arch "$lib" >"$tmp/headers"
  grep -q 'TWOLEVEL' "$tmp/headers" || fail "$arch: not linked two-level"
  grep -q 'DYLIB ' "$tmp/headers" || fail "$arch: not a dylib"
  awk '/cmd LC_LOAD_DYLIB|cmd LC_LOAD_WEAK_DYLIB|cmd LC_REEXPORT_DYLIB|cmd LC_LOAD_UPWARD_DYLIB/ {
         want = 1; next }
       want && $1 == "name" { print $2; want = 0 }' "$tmp/headers" | sort >"$tmp/loaded"
  diff -u "$tmp/dylibs" "$tmp/loaded" \
    || fail "$arch: loaded libraries differ (- allowed, + loaded)"
  # The oldest macOS each slice runs on: LC_BUILD_VERSION's minos, or
  # LC_VERSION_MIN_MACOSX's version for targets before 10.14.
  minos=$(awk '/cmd LC_BUILD_VERSION/ {b = 1} b && $1 == "minos" {print $2; exit}
               /cmd LC_VERSION_MIN_MACOSX/ {v = 1} v && $1 == "version" {print $2; exit}' "$tmp/headers")
  want=11.0
  [ $arch = x86_64 ] && want=10.13
  [ "$minos" = "$want" ] || fail "$arch: minimum macOS '$minos', wanted $want"
  grep -q 'cmd LC_UUID' "$tmp/headers" || fail "$arch: no LC_UUID"
  if [ $arch = arm64 ]; then
    grep -q 'cmd LC_CODE_SIGNATURE' "$tmp/headers" || fail "arm64: no code signature"
    # Apple silicon maps 16 KiB pages: every segment starts on one.
    awk 'function value(s,   v, i) {
           if (s !~ /^0x/) return s + 0
           for (i = 3; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", tolower(substr(s, i, 1))) - 1
           return v }
         $1 == "segname" {seg = $2}
         ($1 == "vmaddr" || $1 == "fileoff") && value($2) % 16384 {print seg, $1, $2}' \
      "$tmp/headers" >"$tmp/unaligned"
    [ ! -s "$tmp/unaligned" ] || { cat "$tmp/unaligned"; fail "arm64: segments off 16 KiB pages"; }
  fi

  # Every import names its library: a flat or weak lookup could bind to
  # another library's symbol of the same name.
  "$objdump" --macho --bind --lazy-bind --arch=$arch "$lib" \
    | awk '$1 ~ /^__/ {print $(NF-1), $NF}' >"$tmp/binds"
  [ -s "$tmp/binds" ] || fail "$arch: no imports bound"
  awk '$1 != "libSystem" && $1 != "IOKit" && $1 != "CoreFoundation" {print}' "$tmp/binds" >"$tmp/stray"
  [ ! -s "$tmp/stray" ] || { cat "$tmp/stray"; fail "$arch: imports bound elsewhere"; }
  "$objdump" --macho --weak-bind --arch=$arch "$lib" | awk '$1 ~ /^__/' >"$tmp/weak"
  [ ! -s "$tmp/weak" ] || { cat "$tmp/weak"; fail "$arch: weak imports"; }
  "$nm" -u --arch=$arch "$lib" | awk '{print $NF}' | sort -u >"$tmp/undefined"
  awk '{print $2}' "$tmp/binds" | sort -u >"$tmp/bound"
  diff -u "$tmp/undefined" "$tmp/bound" || fail "$arch: undefined symbols not bound"
  echo "$arch: $(wc -l <"$tmp/exported") entry points, macOS $minos, $(wc -l <"$tmp/bound") imports" \
       "from $(awk '{print $1}' "$tmp/binds" | sort -u | tr '\n' ' ')"
done

python3 "$here/check_macho_signature.py" "$lib" arm64
