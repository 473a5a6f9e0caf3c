#!/usr/bin/env bash
# A power cut or a pulled USB stick at every moment of a repair on FAT and
# exFAT: the writes that the FUSE driver makes to the volume during one
# repair are recorded with strace; then, for every prefix of them, a copy of
# the volume as it was before the repair gets just those writes, is mounted,
# and must show the former or the repaired content whole under a name that
# the user sees (one not hidden). Skipped (77) where the volumes cannot be
# mounted: it needs root, /dev/fuse, strace and, for exFAT, a loop device.
#
#   power_cut.sh CLI
set -uo pipefail
export LC_ALL=C
cli=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
require_volumes strace python3
volume_work
mkdir "$work/mnt"

original=$export_original
repaired=$export_repaired
printf '%b' "$original" > "$work/original"
printf '%b' "$repaired" > "$work/repaired"
printf 'a\001b' > "$work/any-original"
printf 'ab' > "$work/any-repaired"

# mount_volume KIND IMAGE [TRACE [ro]]: the volume in IMAGE on $work/mnt, by
# the driver the user's desktop would use; strace records it into TRACE.
mount_volume() {
  local kind=$1 image=$2 trace=${3:-} mode=${4:-rw}
  local tracer=() options=(-o rw+)
  [ "$mode" = ro ] && options=(-o ro)
  [ -n "$trace" ] && tracer=(strace -f -qq -xx -s 1000000 -e trace=openat,write,pwrite64,lseek -o "$trace")
  if [ "$kind" = exFAT ]; then
    loop=$(losetup -f --show "$image") || return 1
    image=$loop
  fi
  # In the background: strace stays for as long as the driver runs.
  if [ "$kind" = FAT ]; then
    "${tracer[@]}" fusefat "${options[@]}" "$image" "$work/mnt" > /dev/null 2>&1 &
  else
    [ "$mode" = ro ] && options=(-o ro) || options=()
    "${tracer[@]}" mount.exfat-fuse "${options[@]}" "$image" "$work/mnt" > /dev/null 2>&1 &
  fi
  for _ in $(seq 100); do mountpoint -q "$work/mnt" && return 0; sleep 0.05; done
  return 1
}
unmount_volume() {
  umount "$work/mnt" 2> /dev/null
  # The driver writes its last blocks as it ends; so does strace its log.
  wait
  if [ -n "$loop" ]; then losetup -d "$loop"; loop=; fi
}

# scenario KIND NAME FLAGS: one repair, cut after every write in turn.
scenario() {
  local kind=$1 name=$2 flags=$3 before_content=$work/original after_content=$work/repaired
  [ "$flags" = --any-file ] && before_content=$work/any-original && after_content=$work/any-repaired
  rm -f "$work/volume.img" && truncate -s 4M "$work/volume.img"
  if [ "$kind" = FAT ]; then mkfs.vfat "$work/volume.img" > /dev/null; else mkfs.exfat "$work/volume.img" > /dev/null; fi
  mount_volume "$kind" "$work/volume.img" || { echo "SKIP: $kind cannot be mounted here"; return; }
  cp "$before_content" "$work/mnt/$name"
  unmount_volume
  cp "$work/volume.img" "$work/before.img"

  mount_volume "$kind" "$work/volume.img" "$work/trace" || { fail "$kind: not mounted again"; return; }
  # shellcheck disable=SC2086
  "$cli" $flags "$work/mnt/$name" > /dev/null || fail "$kind $name: the repair failed"
  unmount_volume
  local writes
  writes=$(python3 "$here/power_cut_replay.py" count "$work/trace")
  [ "$writes" -gt 0 ] || { fail "$kind $name: no writes recorded"; return; }
  ran=$((ran + 1))

  local k entry whole
  for ((k = 0; k <= writes; k++)); do
    python3 "$here/power_cut_replay.py" apply "$work/trace" "$work/before.img" "$k" "$work/cut.img"
    if ! mount_volume "$kind" "$work/cut.img" "" ro; then
      fail "$kind $name $flags, cut after write $k of $writes: the volume does not mount"
      unmount_volume
      continue
    fi
    whole=
    for entry in "$work/mnt"/*; do
      [ -f "$entry" ] || continue
      if cmp -s "$entry" "$before_content" || cmp -s "$entry" "$after_content"; then whole=$(basename "$entry"); fi
    done
    [ -n "$whole" ] || fail "$kind $name $flags, cut after write $k of $writes: neither content is whole under a name ($(ls -A "$work/mnt" | tr '\n' '|'))"
    unmount_volume
  done
  echo "$kind $name $flags: $writes writes, every cut checked"
}

ran=0
# A name as long as the volumes allow: the copy that waits meanwhile takes
# a shortened name, since " (Original)" does not fit.
long=$(printf 'n%.0s' $(seq 251)).txt
for kind in FAT exFAT; do
  scenario "$kind" b.xml ""
  scenario "$kind" n.txt --any-file
  scenario "$kind" "$long" --any-file
done
[ $ran -gt 0 ] || skip "no volume could be mounted"
finish "power cut"
