#!/bin/sh
# The hostile-input tier for a Windows DLL: the generator's script, run by
# the executor under wine against the emulated driver, judged by the
# checker. Fails on any checker error, a crash, a hang, or wine's heap
# checking reporting damage. Exits 77 (skipped) where this machine cannot
# run wine for the processor.
# usage: hostile_windows.sh BUILD_DIR WindowsUSB|WindowsParallel SEED CALLS [x86|x86_64 [nt|win9x]]
# HOSTILE_LOG=FILE keeps the outcome log of the run.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 4 ] || { echo "usage: $0 BUILD_DIR WindowsUSB|WindowsParallel SEED CALLS [x86|x86_64 [nt|win9x]]" >&2; exit 2; }
build=$(cd "$1" && pwd) library=$2 seed=$3 calls=$4 arch=${5:-x86_64} family=${6:-nt}
wine=$here/..
. "$wine/wine_env.sh"
if ! wine_runs_here; then
  echo "skipped: this machine cannot run $arch programs under wine"
  exit $skipped
fi
. "$build/hostile/hostile.env"
bin=$build/windows-tests-$arch
dll=$build/lib-windows-$arch/VelaCommPort$library.dll
prefix=$build/wine-prefix-$arch
[ -d "$prefix" ] || sh "$wine/make_prefix.sh" "$prefix" "$arch" "$bin/vela_lpt.sys" "$bin/vela_usb.sys"
work=$(mktemp -d /tmp/vela-hostile.XXXXXX)
trap 'rm -rf "$work"' EXIT
hostile() { "$HOSTILE_JAVA" -cp "$HOSTILE_CLASSPATH" com.kelvora.hostile.Hostile "$@"; }
hostile emit --library "$library" --seed "$seed" --calls "$calls" >"$work/script"
start=$(date +%s)
code=0
# Wine's own heap checks stand in for a sanitizer (mingw has none): with
# the heap channel's warnings on, a freed block is kept and checked, and a
# double free or a damaged block is reported there.
VELA_WINEDEBUG=-all,err+heap,warn+heap sh "$wine/run_under_wine.sh" "$prefix" "$arch" "$family" \
  "$bin/windows_hostile.exe" "$dll" \
  -- "Z:$work/script" "Z:$work/log" >"$work/out" 2>&1 || code=$?
seconds=$(( $(date +%s) - start ))
[ -n "${HOSTILE_LOG:-}" ] && [ -f "$work/log" ] && cp "$work/log" "$HOSTILE_LOG"
# A request for more memory than there is (a receive of a huge length) is
# refused, as it should be, with a heap warning of its own: counted, not
# shown, not damage.
refusals=$(grep -c 'warn:heap:allocate_region Could not allocate' "$work/out" || true)
grep -v 'warn:heap:allocate_region Could not allocate' "$work/out" >"$work/shown" || true
cat "$work/shown"
[ "$code" = "$skipped" ] && exit "$skipped"
damage=$(grep -c -E '(err|warn):heap|Unhandled|page fault|hostile: .*(crash|hang)' "$work/shown" || true)
checked=0
hostile check --library "$library" --script "$work/script" --log "$work/log" >"$work/checked" 2>&1 ||
  checked=$?
cat "$work/checked"
echo "hostile $library $arch $family seed=$seed calls=$calls: executor-exit=$code wine-reports=$damage allocations-refused=$refusals seconds=$seconds"
if [ "$code" != 0 ] || [ "$damage" != 0 ] || [ "$checked" != 0 ]; then
  grep -q '^replay:' "$work/checked" || echo "replay: tests/hostile/hostile.sh $library $seed $calls"
  exit 1
fi
