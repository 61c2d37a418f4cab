# Sourced by the till checks: unless $work is set already, stops as skipped
# unless root (running the till as another user needs it), then makes $work,
# a folder every user can read, removed on exit, and $root, an empty folder
# in it.

if [ -z "${work:-}" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: running the till as another user needs root"
    exit 77
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  chmod 755 "$work"
  mkdir "$work/root"
fi
root=$work/root

# unpack DEB...: the packages' files in $root, as dpkg would install them.
unpack() {
  for deb in "$@"; do
    dpkg-deb -x "$deb" "$root"
  done
}

# jni_folder JAVA...: the folder /usr/lib/TRIPLET/jni that this Java VM
# searches for native libraries by default.
jni_folder() {
  "$@" -XshowSettings:properties -version 2>&1 | sed -n 's|^ *\(/usr/lib/[^/]*/jni\)$|\1|p'
}

# user_tmp DIR: a temporary folder of nobody's own, where a library taken
# from the jar would land.
user_tmp() {
  mkdir "$1"
  chown nobody:nogroup "$1"
}

# nothing_extracted DIR: fails when a library was taken from the jar.
nothing_extracted() {
  if [ -n "$(ls -A "$1")" ]; then
    echo "FAILED: something was extracted into the temporary folder:"
    ls -lR "$1"
    return 1
  fi
}
