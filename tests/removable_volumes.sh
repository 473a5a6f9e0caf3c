#!/usr/bin/env bash
# Repairs on the file systems of USB sticks, FAT and exFAT, mounted through
# Debian's FUSE drivers (this kind of kernel has no module for either): no
# hard links, no rename that refuses to replace, no owners, times of whole
# seconds. Skipped (77) where they cannot be mounted: they need root, /dev/fuse
# and, for exFAT, a loop device.
#
#   removable_volumes.sh CLI
set -uo pipefail
export LC_ALL=C
cli=$1
. "$(dirname "$0")/lib.sh"
require_volumes
volume_work
hex() { od -An -tx1 "$1" | tr -d ' \n'; }

original=$export_original
repaired=$export_repaired

# check VOLUME FOLDER
check() {
  local volume=$1 dir=$2 out
  printf '%b' "$original" > "$dir/show.xml"
  printf '%b' "$original" > "$work/original"
  printf '%b' "$repaired" > "$work/repaired"

  "$cli" --check "$dir/show.xml" > /dev/null
  [ $? -eq 3 ] || fail "$volume: --check does not predict a repair"
  out=$("$cli" "$dir/show.xml")
  [ "$out" = "$dir/show.xml: Done! Click back on Vectorworks and let it process the .xml file." ] \
    || fail "$volume: repair said: $out"
  [ "$(hex "$dir/show.xml")" = "$(hex "$work/repaired")" ] || fail "$volume: the name does not hold the repair"
  [ "$(hex "$dir/show (Original).xml")" = "$(hex "$work/original")" ] \
    || fail "$volume: the kept copy is not the original"
  out=$("$cli" "$dir/show.xml")
  [ "$out" = "$dir/show.xml: The data in the file is OK, no changes were made." ] \
    || fail "$volume: second repair said: $out"

  # A second original is kept beside the first, which stays whole.
  printf '%b' "$original" > "$dir/show.xml"
  "$cli" "$dir/show.xml" > /dev/null || fail "$volume: repair beside a kept copy failed"
  [ "$(hex "$dir/show (Original 2).xml")" = "$(hex "$work/original")" ] \
    || fail "$volume: the second kept copy is not the original"
  [ "$(hex "$dir/show (Original).xml")" = "$(hex "$work/original")" ] \
    || fail "$volume: the first kept copy changed"

  out=$(ls -A "$dir" | tr '\n' '|')
  [ "$out" = "show (Original 2).xml|show (Original).xml|show.xml|" ] || fail "$volume: left behind: $out"
}

# Two repairs of one file: the first is held (strace) as it moves its copy of
# the original to the kept name, where these drivers have no rename that
# refuses to replace; the second must stop, and the original stay whole.
two_repairs() {
  local volume=$1 dir=$2 out
  command -v strace > /dev/null || { echo "SKIP: $volume, two repairs: no strace"; return; }
  rm -f "$dir"/*
  printf '%b' "$original" > "$dir/two.xml"
  strace -f -qq -o /dev/null -e trace=rename -e inject=rename:delay_enter=1500000:when=1 \
    "$cli" "$dir/two.xml" > "$work/first" &
  sleep 0.5
  out=$("$cli" "$dir/two.xml")
  wait
  [ "$out" = "$dir/two.xml: Sorry! An error occurred. (another repair of it is under way)" ] \
    || fail "$volume, two repairs: the second said: $out"
  [ "$(hex "$dir/two (Original).xml")" = "$(hex "$work/original")" ] || fail "$volume, two repairs: the original is lost"
  [ "$(hex "$dir/two.xml")" = "$(hex "$work/repaired")" ] || fail "$volume, two repairs: not repaired ($(cat "$work/first"))"
}

# On a full stick the repair says so, and leaves all as it was. (fusefat
# refuses such a write as not permitted.) A small volume, which fusefat
# fills in a moment.
full_fat() {
  local dir=$work/mnt-small out
  truncate -s 2M "$work/small.img"
  mkfs.vfat "$work/small.img" > /dev/null
  mkdir "$dir"
  fusefat -o rw+ "$work/small.img" "$dir" > /dev/null 2>&1 && mountpoint -q "$dir" || { echo "SKIP: a small FAT"; return; }
  printf '%b' "$original" > "$dir/show.xml"
  dd if=/dev/zero of="$dir/filler" bs=64k > /dev/null 2>&1
  out=$("$cli" "$dir/show.xml")
  [ "$out" = "$dir/show.xml: Sorry! An error occurred. (the disk is full)" ] || fail "FAT, full: repair said: $out"
  [ "$(hex "$dir/show.xml")" = "$(hex "$work/original")" ] || fail "FAT, full: the file changed"
  out=$(ls -A "$dir" | tr '\n' '|')
  [ "$out" = "filler|show.xml|" ] || fail "FAT, full: left behind: $out"
}

truncate -s 32M "$work/fat.img" "$work/exfat.img"
mkdir "$work/mnt-fat" "$work/mnt-exfat"
mkfs.vfat "$work/fat.img" > /dev/null
if fusefat -o rw+ "$work/fat.img" "$work/mnt-fat" > /dev/null 2>&1 && mountpoint -q "$work/mnt-fat"; then
  check FAT "$work/mnt-fat"
  two_repairs FAT "$work/mnt-fat"
  full_fat
else
  echo "SKIP: FAT cannot be mounted here"
fi
mkfs.exfat "$work/exfat.img" > /dev/null
if loop=$(losetup -f --show "$work/exfat.img" 2> /dev/null) \
   && mount.exfat-fuse "$loop" "$work/mnt-exfat" > /dev/null 2>&1 && mountpoint -q "$work/mnt-exfat"; then
  check exFAT "$work/mnt-exfat"
  two_repairs exFAT "$work/mnt-exfat"
else
  echo "SKIP: exFAT cannot be mounted here"
fi

if ! mountpoint -q "$work/mnt-fat" && ! mountpoint -q "$work/mnt-exfat"; then
  exit 77
fi
finish "removable volumes"
