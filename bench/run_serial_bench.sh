#!/bin/sh
# Serial figures: JNI call costs, the CPU of a 2 s receive wait, and
# _sendData beside a C loop that makes the same calls (a refused write
# waits for room), first to a printer that reads as fast as it can, then
# to one at 115200 baud with 256-byte chunks (a pty's tcdrain does not wait
# for the far end, a real line's does).
# usage: run_serial_bench.sh BUILD_DIR [TOTAL_BYTES] [CHUNK]
set -eu
build=$1 total=${2:-8388608} chunk=${3:-4096}
line_rate=11520          # bytes/s of 115200 baud, 8N1
line_total=$((line_rate * 15))   # long enough that the pty buffer matters little
sink=""
trap '[ -n "$sink" ] && kill $sink 2>/dev/null || true' EXIT

# A fresh pty printer reading RATE bytes/s (0: as fast as it can) at $link.
start_sink() {
  [ -n "$sink" ] && kill $sink 2>/dev/null || true
  link=$(mktemp -u /tmp/vela-bench-pty.XXXXXX)
  "$build/bench/pty_sink" "$link" "$1" >/dev/null &
  sink=$!
  while [ ! -L "$link" ]; do sleep 0.05; done
}

java_bench() {
  java -Djava.library.path="$build/lib" \
    -cp "$build/java/vela_brevant.jar:$build/java/bench.jar" \
    com.kelvora.bench.SerialBench "$link" "$@"
}

compare() {  # NAME TOTAL RATE CHUNK
  start_sink "$3"
  c=$("$build/bench/pty_write_baseline" "$link" "$2" "$4")
  start_sink "$3"
  j=$(java_bench "$2" "$4" throughput)
  echo "$1: _sendData $j; C loop $(echo "$c" | awk '{printf "%s MB/s (%d waits for room)", $1, $2}')"
  echo "$1: ratio _sendData / C loop: $(echo "$j $c" | awk '{printf "%.2f", $1 / $6}')"
}

out="$build/serial_bench.txt"
start_sink 0
java_bench "$total" "$chunk" costs >"$out"
compare "fast sink" "$total" 0 "$chunk" >>"$out"
compare "115200 baud sink" "$line_total" "$line_rate" 256 >>"$out"
cat "$out"
