#!/bin/sh
# The serial library beside jssc (Debian's libjssc-java) on ptys, in one
# interleaved run: reply latency, the 2000 ms timeout's overrun, process CPU
# during an idle 2 s receive, 16-byte sends, 1 MiB in 4096-byte sends, the
# bytes the printer received twice, and replies trickled at the line's byte
# time. BASELINE_LIB_DIR, a folder holding another build's
# libVelaCommPortLinuxSerial.so, adds that build to the trickled replies.
# usage: run_serial_peer_bench.sh BUILD_DIR BENCH_JAR JSSC_JAR [BASELINE_LIB_DIR]
set -eu
build=$1 bench_jar=$2 jssc_jar=$3 baseline=${4:-}
if [ ! -f "$jssc_jar" ]; then
  echo "jssc is not installed: apt-get install libjssc-java, then configure the build again" >&2
  exit 1
fi
work=$(mktemp -d /tmp/vela-peer-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
java -Djava.library.path="$build/lib:/usr/lib/jni" \
  -cp "$build/java/vela_brevant.jar:$jssc_jar:$bench_jar" \
  com.kelvora.bench.SerialPeerBench "$build/bench/pty_printer" "$work" ${baseline:+"$baseline"} | tee "$build/serial_peer_bench.txt"
