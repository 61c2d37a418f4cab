# Helpers of the set-up scripts, sourced by them from the checkout's root.

log_dir=$(mktemp -d /tmp/vela-setup.XXXXXX)

# install_packages PKG...: installs the Debian packages not yet installed,
# as root or through sudo, quietly (the log is shown only on failure).
install_packages() {
  missing=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    sudo=""
  elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
  else
    echo "missing packages:$missing (run as root, or install them)" >&2
    exit 1
  fi
  echo "installing:$missing"
  # wine's 32-bit half, and the cross-built libraries' libusb, come from
  # other architectures.
  for arch in i386 arm64 armhf; do
    case "$missing" in
      *:$arch*) dpkg --print-foreign-architectures | grep -qx $arch || $sudo dpkg --add-architecture $arch ;;
    esac
  done
  if ! { $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
         $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
       } >"$log_dir/apt.log" 2>&1; then
    cat "$log_dir/apt.log" >&2
    exit 1
  fi
}

# as_owner CMD...: runs CMD as the user who owns the checkout, so that a run
# as root leaves no build files its owner cannot write.
as_owner() {
  owner=$(stat -c %U .)
  if [ "$(id -u)" -eq 0 ] && [ "$owner" != root ]; then
    home=$(getent passwd "$owner" | cut -d: -f6)
    runuser -u "$owner" -- env HOME="$home" "$@"
  else
    "$@"
  fi
}

# quietly NAME CMD...: runs CMD with its output in a log, shown on failure.
quietly() {
  name=$1
  shift
  if ! "$@" >"$log_dir/$name.log" 2>&1; then
    cat "$log_dir/$name.log" >&2
    echo "$name failed" >&2
    exit 1
  fi
}
