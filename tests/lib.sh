# Shared by the test scripts: a failure counted, a skip (CTest's 77), and
# the closing line.
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

skip() {
  echo "SKIP: $*"
  exit 77
}

# read_version BUILD_DIR: $release ("1.0.1") and $short_version ("1.0.1
# build 2"), as that build was configured.
read_version() {
  local full
  full=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt")
  release=${full%.*}
  short_version="$release build ${full##*.}"
}

# finish NAME: "NAME: all checks passed" and 0, or the count of failures and 1.
finish() {
  if [ "$failures" -eq 0 ]; then
    echo "$1: all checks passed"
    exit 0
  fi
  echo "$1: $failures checks failed"
  exit 1
}

# require_volumes [TOOL...]: skips unless FAT and exFAT can be mounted here
# through Debian's FUSE drivers (root, /dev/fuse, a loop device), with the
# TOOLs besides.
require_volumes() {
  local tool
  for tool in fusefat mount.exfat-fuse mkfs.vfat mkfs.exfat losetup "$@"; do
    command -v "$tool" > /dev/null || skip "$tool is missing"
  done
  [ "$(id -u)" -eq 0 ] && [ -c /dev/fuse ] || skip "needs root and /dev/fuse"
}

# volume_work: a new folder $work, removed at the end with every volume
# mounted on a $work/mnt* folder unmounted first and the loop device $loop
# let go.
volume_work() {
  work=$(mktemp -d)
  loop=
  on_exit=
  trap 'eval "$on_exit"; for mounted in "$work"/mnt*; do mountpoint -q "$mounted" && umount "$mounted"; done
        [ -n "$loop" ] && losetup -d "$loop"; rm -rf "$work"' EXIT
}

# trap_also COMMAND: COMMAND runs too as volume_work's folder goes.
trap_also() {
  on_exit="$on_exit$1;"
}

# A small export and what a repair makes of it, as printf '%b' takes them.
export_original='<?xml version="1.0"?>\r\n<Export>\r\n<Action>Entire Plot</Action>\r\n<a><AppStamp>Vectorworks</AppStamp>x\001y</a>\r\n</Export>\r\n'
export_repaired='<?xml version="1.0"?>\r\n<Export>\r\n<Action>Entire Plot</Action>\r\n<a><AppStamp>Marlowbrook</AppStamp>xy</a>\r\n</Export>\r\n'
