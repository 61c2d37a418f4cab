#!/bin/sh
# Runs the hostile-input tier on one library:
#   tests/hostile/hostile.sh LIBRARY SEED CALLS [BUILD_DIR]
# LIBRARY: LinuxSerial, LinuxUSB, LinuxParallel, MacUSB (in the Java VM),
# WindowsUSB, WindowsParallel (in the Windows test host under wine). A
# failure prints the seed, the call number and this command to replay it.
# HOSTILE_LOG=FILE keeps the outcome log of the run; HOSTILE_SHIPPED=1 runs
# the shipped libraries instead of their sanitized builds.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 3 ] || { echo "usage: $0 LIBRARY SEED CALLS [BUILD_DIR]" >&2; exit 2; }
library=$1 seed=$2 calls=$3
build=$(cd "${4:-$here/../../build}" && pwd)
case $library in
  WindowsUSB|WindowsParallel)
    exec sh "$here/../windows/hostile/hostile_windows.sh" "$build" "$library" "$seed" "$calls" ;;
esac
. "$build/hostile/hostile.env"
libdir=$HOSTILE_LIBDIR mac=$HOSTILE_MAC_LIBDIR
preload=
[ -n "$HOSTILE_PRELOAD" ] && preload="--preload $HOSTILE_PRELOAD"
if [ -n "${HOSTILE_SHIPPED:-}" ]; then
  libdir=$HOSTILE_SHIPPED_LIBDIR mac=$HOSTILE_SHIPPED_MAC_LIBDIR preload=
fi
[ "$library" = MacUSB ] && libdir=$mac
out=$(mktemp)
trap 'rm -f "$out"' EXIT
start=$(date +%s)
code=0
# Leak checks off: the VM itself is not clean. Any other report aborts.
ASAN_OPTIONS=detect_leaks=0:handle_segv=0:allow_user_segv_handler=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 PYTHONPATH=$HOSTILE_PYTHONPATH \
  /usr/bin/python3 -m printer_sim.run $preload -- \
  "$HOSTILE_JAVA" -Xcheck:jni -Djava.library.path="$libdir" -cp "$HOSTILE_CLASSPATH" \
  com.kelvora.hostile.Hostile run --library "$library" --seed "$seed" --calls "$calls" \
  ${HOSTILE_LOG:+--log "$HOSTILE_LOG"} >"$out" 2>&1 || code=$?
seconds=$(( $(date +%s) - start ))
cat "$out"
count() { grep -c -E "$1" "$out" || true; }
sanitizer=$(count 'ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer')
jni=$(count 'WARNING in native method|FATAL ERROR in native method|JNI call made with exception pending')
crashes=$(count 'A fatal error has been detected by the Java Runtime')
figures=$(count '^figures ')
echo "hostile $library seed=$seed calls=$calls: vm-exit=$code vm-crashes=$crashes sanitizer-reports=$sanitizer jni-warnings=$jni seconds=$seconds"
if [ "$code" != 0 ] || [ "$sanitizer" != 0 ] || [ "$jni" != 0 ] || [ "$crashes" != 0 ] || [ "$figures" != 1 ]; then
  grep -q '^replay:' "$out" || echo "replay: tests/hostile/hostile.sh $library $seed $calls"
  exit 1
fi
