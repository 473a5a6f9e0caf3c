#!/usr/bin/env bash
# The same repairs and the same second actors on every kind of volume the
# users have: ext4 and tmpfs (the kernel's own, with a swap of names and
# nameless files), FAT and exFAT (USB sticks, through Debian's FUSE drivers:
# no hard links, no rename that refuses to replace, times of whole seconds),
# NTFS through ntfs-3g (hard links, no swap of names), and a network share
# through sshfs to an sshd on 127.0.0.1 (a new link gets a number of its
# own). A second actor (another repair, a save by rename, a program writing
# the file in place or appending to it, a sync client removing the hidden
# temporary file) acts while strace holds the repair at a chosen step. A
# volume that cannot be mounted here is skipped; all of them missing, 77.
#
#   volume_matrix.sh CLI
set -uo pipefail
export LC_ALL=C
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
. "$(dirname "$0")/lib.sh"
[ "$(id -u)" -eq 0 ] || skip "needs root to mount volumes"
command -v strace > /dev/null || skip "strace is missing"
volume_work
# A driver that hangs (fusefat has spun) fails the row rather than the run.
hex() { timeout 20 od -An -tx1 "$1" 2> /dev/null | tr -d ' \n'; }
# A sanitizer's leak check cannot run under strace, and would say so.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
printf '%b' "$export_original" > "$work/original"
printf '%b' "$export_repaired" > "$work/repaired"
printf 'THE OTHER PROGRAM SAVED THIS\n' > "$work/save"
cat "$work/original" "$work/save" > "$work/appended"
done_text="Done! Click back on Vectorworks and let it process the .xml file."
changed="Sorry! An error occurred. (it was changed by another program while it was being repaired)"
lost="Sorry! An error occurred. (another program wrote to it just as it was replaced, and what it wrote could not be kept: the file is as it was, save it again from that program)"
mounted=0

# mount_volume KIND FOLDER: KIND mounted on FOLDER; false where it cannot be.
mount_volume() {
  local kind=$1 dir=$2 image=$work/$1.img
  mkdir -p "$dir"
  case $kind in
    ext4) truncate -s 32M "$image" && mkfs.ext4 -q "$image" && mount -o loop "$image" "$dir" ;;
    tmpfs) mount -t tmpfs -o size=32m tmpfs "$dir" ;;
    FAT) truncate -s 32M "$image" && mkfs.vfat "$image" > /dev/null && fusefat -o rw+ "$image" "$dir" > /dev/null 2>&1 ;;
    exFAT) truncate -s 32M "$image" && mkfs.exfat "$image" > /dev/null && loop=$(losetup -f --show "$image") \
             && mount.exfat-fuse "$loop" "$dir" > /dev/null 2>&1 ;;
    NTFS) truncate -s 32M "$image" && mkntfs -F -Q "$image" > /dev/null 2>&1 && ntfs-3g "$image" "$dir" ;;
    sshfs) start_sshd && sshfs -p "$ssh_port" -o IdentityFile="$work/ssh/client" -o StrictHostKeyChecking=no \
             -o UserKnownHostsFile=/dev/null -o BatchMode=yes "root@127.0.0.1:$work/remote" "$dir" ;;
  esac > /dev/null 2>&1 && mountpoint -q "$dir"
}

# An sshd of the test's own, on 127.0.0.1 alone, with keys made for it;
# stopped with the test.
start_sshd() {
  local sshd=/usr/sbin/sshd
  [ -x "$sshd" ] && command -v sshfs > /dev/null || return 1
  mkdir -p "$work/ssh" "$work/remote" /run/sshd
  ssh-keygen -q -t ed25519 -N '' -f "$work/ssh/host" && ssh-keygen -q -t ed25519 -N '' -f "$work/ssh/client" || return 1
  cp "$work/ssh/client.pub" "$work/ssh/authorized_keys"
  ssh_port=$((20000 + RANDOM % 20000))
  printf '%s\n' "ListenAddress 127.0.0.1" "Port $ssh_port" "HostKey $work/ssh/host" \
    "AuthorizedKeysFile $work/ssh/authorized_keys" "PermitRootLogin prohibit-password" "StrictModes no" \
    "PidFile $work/ssh/sshd.pid" "Subsystem sftp internal-sftp" > "$work/ssh/config"
  "$sshd" -f "$work/ssh/config" || return 1
  trap_also 'kill "$(cat "$work/ssh/sshd.pid" 2> /dev/null)" 2> /dev/null'
  for _ in $(seq 50); do [ -s "$work/ssh/sshd.pid" ] && return 0; sleep 0.1; done
  return 1
}

# fresh DIR: the folder holds the export alone.
fresh() {
  rm -rf "${1:?}"/* "$1"/.[!.]* 2> /dev/null
  cp "$work/original" "$1/show.xml"
}

# held_repair DIR CALL N ACTOR: the repair of DIR/show.xml, held by strace
# for a second and a half on entering the N-th call of CALL, while ACTOR
# runs as soon as the hold begins (strace has written that call's entry:
# a slow volume takes longer than any fixed pause to get there); what the
# repair said is in $said. ACTOR finds the repair's process number in $held.
held_repair() {
  local dir=$1 call=$2 n=$3 actor=$4 held
  : > "$work/held"
  strace -f -qq -o "$work/held" -e trace="$call" -e inject="$call:delay_enter=1500000:when=$n" \
    "$cli" "$dir/show.xml" > "$work/said" 2>&1 &
  local repair=$!
  while [ "$(grep -cE "^[0-9]+ +(${call//,/|})\(" "$work/held")" -lt "$n" ] && kill -0 $repair 2> /dev/null; do
    sleep 0.02
  done
  held=$(pgrep -P $repair)
  (cd "$dir" && eval "$actor") > "$work/actor" 2>&1
  wait $repair
  said=$(sed "s|^$dir/show.xml: ||" "$work/said")
}

# last_step DIR: the call that puts the repaired file under the name (the
# last rename or swap of names), as "CALL N", from a repair of DIR's export.
last_step() {
  fresh "$1"
  strace -f -qq -e trace=rename,renameat2 -o "$work/steps" "$cli" "$1/show.xml" > /dev/null
  local call
  call=$(tail -n 1 "$work/steps" | sed 's/^[0-9]* *\([a-z0-9]*\)(.*/\1/')
  echo "$call $(grep -c "^[0-9]* *$call(" "$work/steps")"
  fresh "$1"
}

# expect VOLUME ROW SAID CONTENT [LEFT]: the repair said SAID, show.xml holds
# the file CONTENT, and the folder holds LEFT besides (visible or hidden
# names, "|"-separated; nothing where not given).
expect() {
  local volume=$1 row=$2 want_said=$3 content=$4 left=${5:-} dir=$work/mnt-$1 names stored=$work/mnt-$1
  # What the volume stores: a FUSE driver's names of one file are apart in
  # the kernel's cache, which may show for a while what one of them held
  # before another program wrote through another (seen on sshfs and NTFS).
  [ "$volume" = sshfs ] && stored=$work/remote
  sync && { echo 3 > /proc/sys/vm/drop_caches; } 2> /dev/null
  [ "$said" = "$want_said" ] || fail "$volume, $row: the repair said: $said"
  [ "$(hex "$stored/show.xml")" = "$(hex "$content")" ] \
    || fail "$volume, $row: show.xml holds: $(head -c 200 "$stored/show.xml" | tr '\r\n\001' '~|#') (the other program said: $(cat "$work/actor"))"
  names=$(cd "$dir" && ls -A | grep -v '^show\.xml$' | tr '\n' '|')
  [ "$names" = "$left" ] || fail "$volume, $row: beside show.xml: $names (expected $left)"
}

# window VOLUME DIR: prints how long, in one repair under strace (which
# slows every call, so this is an upper bound), another program's save by
# rename would be replaced unseen: from the end of the last look at the name
# to the end of the rename that replaces it. None where the last step is a
# swap of names, after which what it replaced is looked at.
window() {
  local volume=$1 dir=$2
  fresh "$dir"
  strace -f -qq -ttt -T -e trace=newfstatat,rename,renameat2 -o "$work/timed" "$cli" "$dir/show.xml" > /dev/null
  python3 - "$volume" "$dir/show.xml" "$work/timed" << 'PY'
import re, sys
volume, name, trace = sys.argv[1], sys.argv[2], sys.argv[3]
last_look = None
for line in open(trace):
    m = re.match(r'\d+\s+([\d.]+) (\w+)\((.*)\) = (-?\d+).*<([\d.]+)>', line)
    if not m:
        continue
    start, call, args, result, took = float(m[1]), m[2], m[3], int(m[4]), float(m[5])
    if call == 'newfstatat' and args.startswith('AT_FDCWD, "%s"' % name) and 'AT_SYMLINK_NOFOLLOW' in args:
        last_look = start + took
    elif call == 'renameat2' and 'RENAME_EXCHANGE' in args and result == 0:
        print('window: %s: none, the swap of names is looked at after it' % volume)
        break
    elif call in ('rename', 'renameat2') and args.endswith('"%s"' % name) and result == 0 and last_look:
        print('window: %s: %.2f ms from the last look to the end of the rename' % (volume, (start + took - last_look) * 1000))
        break
PY
}

matrix() {
  local volume=$1 dir=$work/mnt-$1 step
  echo "== $volume"
  # A repair, a second that finds nothing to do, a third beside the kept copy.
  fresh "$dir"
  "$cli" --check "$dir/show.xml" > /dev/null
  [ $? -eq 3 ] || fail "$volume: --check does not predict a repair"
  said=$("$cli" "$dir/show.xml" | sed "s|^$dir/show.xml: ||")
  expect "$volume" repair "$done_text" "$work/repaired" "show (Original).xml|"
  cmp -s "$dir/show (Original).xml" "$work/original" || fail "$volume: the kept copy is not the original"
  said=$("$cli" "$dir/show.xml" | sed "s|^$dir/show.xml: ||")
  expect "$volume" "second repair" "The data in the file is OK, no changes were made." "$work/repaired" \
    "show (Original).xml|"
  cp "$work/original" "$dir/show.xml"
  said=$("$cli" "$dir/show.xml" | sed "s|^$dir/show.xml: ||")
  expect "$volume" "beside a kept copy" "$done_text" "$work/repaired" "show (Original 2).xml|show (Original).xml|"

  # Held as it keeps the original (its first link or rename): a second
  # repair stops; a save by rename is seen, and stays.
  fresh "$dir"
  held_repair "$dir" link,rename,renameat2 1 "'$cli' show.xml"
  expect "$volume" "two repairs (the first)" "$done_text" "$work/repaired" "show (Original).xml|"
  grep -qx "show.xml: Sorry! An error occurred. (another repair or another program is using it)" "$work/actor" \
    || fail "$volume, two repairs: the second said: $(cat "$work/actor")"
  fresh "$dir"
  held_repair "$dir" link,rename,renameat2 1 "cp '$work/save' .saving && mv .saving show.xml"
  expect "$volume" "a save by rename as the original is kept" "$changed" "$work/save"

  # Held at the step that puts the repaired file under the name: a program
  # that opens the file to write meanwhile waits for the repair's lease;
  # its save stays, where the file system leaves it reachable.
  step=$(last_step "$dir")
  local lost_said=$changed lost_content=$work/save lost_appended=$work/appended
  case $volume in FAT | exFAT) lost_said=$lost lost_content=$work/original lost_appended=$work/original ;; esac
  # fusefat spins for good once a file replaced while open is written to;
  # exFAT has the same properties, and runs these rows.
  if [ "$volume" != FAT ]; then
    held_repair "$dir" "${step% *}" "${step#* }" "cat '$work/save' > show.xml"
    expect "$volume" "a program writing in place at the last step" "$lost_said" "$lost_content"
    # With a SIGTERM as well: what became of that save is told before the
    # repair ends.
    fresh "$dir"
    held_repair "$dir" "${step% *}" "${step#* }" \
      "cat '$work/save' >> show.xml & sleep 0.2; kill -TERM \$held; wait"
    expect "$volume" "an append and a SIGTERM at the last step" "$lost_said" "$lost_appended"
  fi
  # A sync client that removes the hidden temporary file.
  fresh "$dir"
  held_repair "$dir" "${step% *}" "${step#* }" "rm -f .quillmend-*.tmp"
  expect "$volume" "the temporary file removed at the last step" \
    "Sorry! An error occurred. (its repaired copy, a hidden file beside it, was removed by another program)" \
    "$work/original"
  # A signal as the repaired file takes the name: the repair is done, and
  # the tool says so before it ends (INT and QUIT are ignored by a shell's
  # background jobs; all four take one road).
  fresh "$dir"
  strace -f -qq -o /dev/null -e trace="${step% *}" -e inject="${step% *}:signal=TERM:when=${step#* }" \
    "$cli" "$dir/show.xml" > "$work/said" 2>&1
  local status=$?
  said=$(sed "s|^$dir/show.xml: ||" "$work/said")
  [ $status -eq 0 ] || fail "$volume, SIGTERM at the last step: exit status $status"
  expect "$volume" "SIGTERM at the last step" "$done_text" "$work/repaired" "show (Original).xml|"
}

# On a full stick the repair says so, and leaves all as it was. (fusefat
# refuses such a write as not permitted.) A small volume, which fusefat
# fills in a moment.
full_fat() {
  local dir=$work/mnt-small
  mkdir "$dir"
  truncate -s 2M "$work/small.img" && mkfs.vfat "$work/small.img" > /dev/null
  fusefat -o rw+ "$work/small.img" "$dir" > /dev/null 2>&1 && mountpoint -q "$dir" || { echo "SKIP: a small FAT"; return; }
  cp "$work/original" "$dir/show.xml"
  dd if=/dev/zero of="$dir/filler" bs=64k > /dev/null 2>&1
  said=$("$cli" "$dir/show.xml" | sed "s|^$dir/show.xml: ||")
  [ "$said" = "Sorry! An error occurred. (the disk is full)" ] || fail "FAT, full: the repair said: $said"
  cmp -s "$dir/show.xml" "$work/original" || fail "FAT, full: the file changed"
  [ "$(ls -A "$dir" | tr '\n' '|')" = "filler|show.xml|" ] || fail "FAT, full: left behind: $(ls -A "$dir")"
}

for volume in ${QUILLMEND_VOLUMES:-ext4 tmpfs FAT exFAT NTFS sshfs}; do
  if mount_volume "$volume" "$work/mnt-$volume"; then
    mounted=$((mounted + 1))
    matrix "$volume"
    window "$volume" "$work/mnt-$volume"
  else
    echo "SKIP: $volume cannot be mounted here"
  fi
done
[ "$mounted" -gt 0 ] || skip "no volume can be mounted here"
mountpoint -q "$work/mnt-FAT" && full_fat
finish "volume matrix"
