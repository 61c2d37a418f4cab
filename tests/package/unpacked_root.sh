# Sourced by the till checks, with deb set: stops as skipped unless root
# (running the till as another user needs it), then unpacks deb into
# $root, an empty root under $work that every user can read, removed on
# exit.

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: running the till as another user needs root"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
root=$work/root
mkdir "$root"
dpkg-deb -x "$deb" "$root"

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
