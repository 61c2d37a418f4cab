#!/bin/sh
# Serial figures: JNI call costs, _sendData beside a plain C write+tcdrain
# loop on the same pty, and the CPU of a 2 s receive wait.
# usage: run_serial_bench.sh BUILD_DIR [TOTAL_BYTES] [CHUNK]
set -eu
build=$1 total=${2:-8388608} chunk=${3:-4096}
link=$(mktemp -u /tmp/vela-bench-pty.XXXXXX)
"$build/bench/pty_sink" "$link" >/dev/null &
sink=$!
trap 'kill $sink 2>/dev/null || true' EXIT
while [ ! -L "$link" ]; do sleep 0.05; done

c_mbs=$("$build/bench/pty_write_baseline" "$link" "$total" "$chunk")
java -Djava.library.path="$build/lib" \
  -cp "$build/java/vela_brevant.jar:$build/java/bench.jar" \
  com.kelvora.bench.SerialBench "$link" "$total" "$chunk" | tee "$build/serial_bench.txt"
j_mbs=$(sed -n 's/^_sendData throughput: \([0-9.]*\) MB.*/\1/p' "$build/serial_bench.txt")
echo "plain C write+tcdrain: $c_mbs MB/s"
echo "ratio _sendData / C loop: $(echo "$j_mbs $c_mbs" | awk '{printf "%.2f", $1 / $2}')"
