#!/usr/bin/env bash
# Kills a repair at each of its system calls in turn, as a crash or power cut
# would, and checks what is left on disk: the old name holds the former or
# the complete repaired content, a kept copy is absent or identical to the
# former content, and the next repair succeeds and leaves no stray file where
# the file system keeps the marks that prove a leftover the program's own.
#
#   crash_safety.sh PROBE
# QUILLMEND_RUNNER, when set, runs both programs (wine, for the Windows build).
# QUILLMEND_STRAYS_STAY=1 where the system keeps no mark that proves a
# leftover temporary file the program's own (Windows), as on FAT and exFAT:
# the next repair then rightly leaves it (and tells of it), and so a copy of
# the former content under a visible name, or a claim caught empty.
set -uo pipefail
runner=${QUILLMEND_RUNNER:-}
probe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/lib.sh"
points=0
restarts=0
# What a kept name holds while a copy of the original is on its way to it,
# where no rename refuses to replace.
claim='Quillmend is keeping the original under this name; process '

# scenario NAME FLAGS ORIGINAL REPAIRED KEEPS_COPY TAKEN_NAME
scenario() {
  local name=$1 flags=$2 original=$3 repaired=$4 keeps=$5 taken=$6
  local n status dir entry unmarked=${QUILLMEND_STRAYS_STAY:-}
  case $flags in *--no-rename-without-replacing*) unmarked=1 ;; esac
  for ((n = 1; n < 1000; n++)); do
    dir="$work/case"
    rm -rf "$dir" && mkdir "$dir"
    printf '%b' "$original" > "$dir/$name"
    [ -n "$taken" ] && printf 'older' > "$dir/$taken"
    # shellcheck disable=SC2086
    { $runner "$probe" "$n" "$dir/$name" $flags > /dev/null 2>&1; } 2> /dev/null
    status=$?
    [ $status -ne 0 ] && points=$((points + 1))

    local now
    now=$(cat "$dir/$name" 2>/dev/null | od -An -tx1 | tr -d ' \n')
    if [ "$now" != "$(printf '%b' "$original" | od -An -tx1 | tr -d ' \n')" ] \
       && [ "$now" != "$(printf '%b' "$repaired" | od -An -tx1 | tr -d ' \n')" ]; then
      fail "$name $flags, killed at call $n: the old name holds neither the former nor the repaired content"
    fi
    for entry in "$dir"/* "$dir"/.[!.]*; do
      [ -e "$entry" ] || continue
      case "$(basename "$entry")" in
        "$name") ;;
        "$taken") [ "$(cat "$entry")" = older ] || fail "$name, call $n: $taken was changed" ;;
        .quillmend-??????????.tmp) ;;  # a stray temporary file: the next repair removes it
        # A claim on the kept name (FAT): the next repair takes it back. Killed
        # in the instant between the claim's creation and its record, it is empty.
        *) { grep -q "^$claim" "$entry" || [ ! -s "$entry" ]; } && continue
           cmp -s <(printf '%b' "$original") "$entry" \
             || fail "$name $flags, killed at call $n: $(basename "$entry") is no complete copy of the former content" ;;
      esac
    done

    # The next repair, on the same kind of file system; the probe says its
    # result code (1: repaired, 2: nothing left to repair) where it is not killed.
    local said
    # shellcheck disable=SC2086
    said=$($runner "$probe" 0 "$dir/$name" $flags 2>&1)
    local said_status=$?
    # Under Wine a program now and then fails to start at all: exit 1 and not
    # a word, which the probe never gives (it prints its result code or its
    # usage, or is killed). Such a start is made once more, and counted.
    if [ -n "$runner" ] && [ $said_status -eq 1 ] && [ -z "$said" ]; then
      restarts=$((restarts + 1))
      # shellcheck disable=SC2086
      said=$($runner "$probe" 0 "$dir/$name" $flags 2>&1)
      said_status=$?
    fi
    # What the repair said and left, for any failure below.
    local code=$said
    said="exit $said_status, \"$said\", left: $(ls -A "$dir" | tr '\n' '|')"
    [ $said_status -eq 0 ] && case "$(printf '%s' "$code" | tr -d '\r')" in 1|2) true ;; *) false ;; esac || fail "$name $flags, killed at call $n: the next repair failed ($said)"
    cmp -s <(printf '%b' "$repaired") "$dir/$name" || fail "$name $flags, call $n: not repaired by the next repair ($said)"
    # One killed between its creation and its mark cannot be proven a
    # leftover and stays; it is empty.
    for entry in "$dir"/.quillmend-*; do
      [ -e "$entry" ] || continue
      [ "$unmarked" = 1 ] || [ ! -s "$entry" ] \
        || fail "$name $flags, call $n: a temporary file is left after the next repair ($said)"
    done
    for entry in "$dir"/*; do
      if grep -q "^$claim" "$entry" || { [ ! -s "$entry" ] && [ "$unmarked" != 1 ]; }; then
        fail "$name $flags, call $n: a claim on a kept name is left after the next repair ($said)"
      fi
    done
    if [ "$keeps" = yes ] && ! ls "$dir" | grep -q 'Original\|^show\.$\|^show 2\.\?$'; then
      fail "$name $flags, call $n: no kept copy after the next repair ($said)"
    fi
    # A copy that stood in for the original only meanwhile is gone.
    if [ "$keeps" = no ]; then
      for entry in "$dir"/*; do
        [ "$(basename "$entry")" = "$name" ] && continue
        [ "$unmarked" = 1 ] && { [ ! -s "$entry" ] || cmp -s <(printf '%b' "$original") "$entry"; } && continue
        fail "$name $flags, call $n: more than the file is left after the next repair ($said)"
      done
    fi
    [ $status -eq 0 ] && break
  done
}

export_text='<Action>Entire Plot</Action>\r\n<AppStamp>Vectorworks</AppStamp>a\001b\r\n'
export_repaired='<Action>Entire Plot</Action>\r\n<AppStamp>Marlowbrook</AppStamp>ab\r\n'
scenario show.xml "" "$export_text" "$export_repaired" yes ""
scenario show.xml "" "$export_text" "$export_repaired" yes "show (Original).xml"
scenario show.xml "--no-hard-links" "$export_text" "$export_repaired" yes ""
# As on FAT and exFAT: neither hard links nor a rename that refuses to replace.
scenario show.xml "--no-hard-links --no-rename-without-replacing" "$export_text" "$export_repaired" yes ""
scenario show.xml "--no-hard-links --no-rename-without-replacing" "$export_text" "$export_repaired" yes "show (Original).xml"
scenario legacy.xml "" '<Action>Entire Plot</Action>Caf\216\001' '<Action>Entire Plot</Action>Caf\303\251' yes ""
scenario notes.txt "--any-file" 'a\001b' 'ab' no ""
scenario notes.txt "--any-file --no-hard-links --no-rename-without-replacing" 'a\001b' 'ab' no ""
scenario show "--any-file" 'a\001b' 'ab' yes ""

echo "crash points covered: $points"
[ -n "$runner" ] && echo "starts that failed before the program ran, made again: $restarts"
finish "crash safety"
