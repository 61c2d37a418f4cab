#!/bin/sh
# The tier's own checks: one seed gives one script, a shorter script is the
# start of a longer one, the checker judges a run's log as the run did, and
# it refuses logs in which one fact was changed, naming that call.
#   tests/hostile/checker_test.sh BUILD_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
. "$build/hostile/hostile.env"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
hostile() { "$HOSTILE_JAVA" -cp "$HOSTILE_CLASSPATH" com.kelvora.hostile.Hostile "$@"; }
fail() { echo "FAIL: $*"; exit 1; }

lib=MacUSB seed=5 calls=3000
hostile emit --library $lib --seed $seed --calls $calls >"$work/script"
hostile emit --library $lib --seed $seed --calls $calls | cmp -s - "$work/script" || fail "same seed, other script"
hostile emit --library $lib --seed 6 --calls $calls | cmp -s - "$work/script" && fail "other seed, same script"
hostile emit --library $lib --seed $seed --calls 1000 | tail -n +2 >"$work/short"
head -n "$(( $(wc -l <"$work/short") + 1 ))" "$work/script" | tail -n +2 | cmp -s - "$work/short" \
  || fail "1000 calls are not the start of $calls"

HOSTILE_LOG=$work/log sh "$here/hostile.sh" $lib $seed $calls "$build" >"$work/run" || fail "run: $(tail -3 "$work/run")"
hostile check --library $lib --script "$work/script" --log "$work/log" >"$work/check" || fail "clean log refused"
[ "$(grep -E '^(figures|unseen) ' "$work/run")" = "$(cat "$work/check")" ] || fail "check and run disagree"

# refused LABEL SED-SCRIPT CALL: the log changed by SED-SCRIPT fails at CALL.
refused() {
  sed "$2" "$work/log" >"$work/bad"
  cmp -s "$work/bad" "$work/log" && fail "$1: the change did not apply"
  if hostile check --library $lib --script "$work/script" --log "$work/bad" >"$work/out"; then
    fail "$1: accepted"
  fi
  grep -q "^FAILED seed $seed call $3: " "$work/out" || fail "$1: $(cat "$work/out")"
  grep -q "^replay: tests/hostile/hostile.sh $lib $seed $3\$" "$work/out" || fail "$1: no replay line"
  echo "refused as due: $1"
}
first() { grep -m1 -n "$1" "$work/log" | sed 's/^\([0-9]*\):\([0-9]*\) .*/\1 \2/'; }

set -- $(first ' raise .* Port not opened$'); refused "port-not-open turned into a return" "$1s/ raise .*/ ret 0/" "$2"
set -- $(first 'Too many ports already opened\.$'); refused "an open past the table's end accepted" "$1s/ raise .*/ ret 0/" "$2"
set -- $(first 'Unsupported operation\.$'); refused "a message one character short" "$1s/\.\$//" "$2"
set -- $(first 'QDXUSB_GET_DEVICE_STATUS failed\.$')
refused "a text of the library's set, but of another call" "$1s/GET_DEVICE_STATUS/GET_RESET/" "$2"
set -- $(first ' raise '); refused "another exception class" "$1s| raise [^ ]*| raise java/lang/IllegalStateException|" "$2"
n=$(awk '$4 == "_getCapReceiveData" { print $1; exit }' "$work/script")
set -- $(first "^$n ret"); refused "a capability answer flipped" "$1s/ ret 1/ ret 0/" "$2"
n=$(awk '$4 == "_getENQStatus" { print $1 }' "$work/script" | while read -r k; do
      grep -q "^$k ret" "$work/log" && { echo "$k"; break; }; done)
set -- $(first "^$n ret"); refused "an ENQ status of a bit outside 0x04 and 0x08" "$1s/ ret .*/ ret 1/" "$2"
set -- $(first "^$n ms"); refused "a call that took an hour" "$1s/ ms .*/ ms 3600000/" "$2"
last=$(grep -v '^end' "$work/log" | tail -1 | cut -d' ' -f1)
refused "no end line" '/^end /d' "$last"
refused "an object still held" 's/held-end=0/held-end=1/' "$last"
refused "a misuse record" 's/misuse=0/misuse=2/' "$last"
echo "checker refuses every changed log"
