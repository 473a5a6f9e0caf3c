#!/usr/bin/env bash
# The Windows installer: its version resource and icon; then under Wine, in
# a prefix of its own made fresh: a silent install for the current user over
# an earlier version; the shortcut, the uninstaller's entry
# and no file association; the installed tool, with nothing but what was
# installed, gives its version and repairs an export; an install over it;
# a silent uninstall that leaves nothing of its own and everything of the
# user's. Then the same for all users.
#
#   windows_installer.sh BUILD_DIR
# Runs inside the X session of tools/windows/run.
set -uo pipefail
build=$(realpath "$1")
setup=$(ls "$build"/Quillmend-*-setup.exe)
scratch=$(mktemp -d)
export WINEPREFIX=$scratch/wine
unset WINEPATH
trap 'wineserver -k 2> /dev/null; rm -rf "$scratch"' EXIT
. "$(dirname "$0")/lib.sh"
read_version "$build"

# The installer's own version resource and icon, as Explorer shows them.
resource_text() { wrestool -x --raw --type="$1" "$setup" | iconv -f UTF-16LE -t UTF-8 2> /dev/null | tr '\0' '\n'; }
resource_text 16 | grep -qx "$short_version" || fail "the installer has no version $short_version"
resource_text 16 | grep -qx "Quillmend Setup" || fail "the installer's description"
wrestool -l --type=14 "$setup" | grep -q group_icon || fail "the installer has no icon"

wineboot --init > /dev/null 2>&1
wineserver -w
# A folder of the prefix, as Linux names it.
folder_of() { winepath -u "$(wine cmd /c echo "%$1%" 2> /dev/null | tr -d '\r')" 2> /dev/null; }
# One value of the uninstaller's entry, or nothing.
entry() {
  wine reg query "$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmend" /v "$2" 2> /dev/null \
    | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
# Waits for every Wine process, the uninstaller's copy of itself among them.
run_and_wait() {
  "$@"
  local status=$?
  wineserver -w
  return $status
}

local_programs=$(folder_of LOCALAPPDATA)/Programs/Quillmend
user_menu=$(folder_of APPDATA)/Microsoft/Windows/Start\ Menu/Programs
documents=$(folder_of USERPROFILE)/Documents
mkdir -p "$documents"

installed_files=(quillmend.exe quillmend-cli.exe uninstall.exe installed-files.txt Qt6Core.dll Qt6Gui.dll
                 Qt6Widgets.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll libxml2-copyright.txt
                 platforms/qwindows.dll styles/qwindowsvistastyle.dll)
check_installed() {  # HIVE FOLDER MENU
  local hive=$1 dir=$2 menu=$3
  for file in "${installed_files[@]}"; do
    [ -f "$dir/$file" ] || fail "$hive: not installed: $file"
  done
  [ -f "$menu/Quillmend.lnk" ] || fail "$hive: no Start-menu shortcut in $menu"
  [ "$(entry "$hive" DisplayName)" = Quillmend ] || fail "$hive: display name '$(entry "$hive" DisplayName)'"
  [ "$(entry "$hive" DisplayVersion)" = "$short_version" ] || fail "$hive: version '$(entry "$hive" DisplayVersion)'"
  [ "$(entry "$hive" Publisher)" = "The Quillmend developers" ] || fail "$hive: publisher"
  entry "$hive" DisplayIcon | grep -q 'quillmend.exe,0$' || fail "$hive: icon '$(entry "$hive" DisplayIcon)'"
  entry "$hive" UninstallString | grep -q 'uninstall.exe' || fail "$hive: no uninstall command"
  [ "$(($(entry "$hive" EstimatedSize)))" -gt 1000 ] || fail "$hive: size '$(entry "$hive" EstimatedSize)'"
}
check_removed() {  # HIVE FOLDER MENU
  local hive=$1 dir=$2 menu=$3
  [ ! -e "$dir" ] || fail "$hive: left behind: $(cd "$dir" && find . | tr '\n' ' ')"
  [ ! -e "$menu/Quillmend.lnk" ] || fail "$hive: shortcut left behind"
  [ -z "$(entry "$hive" DisplayName)" ] || fail "$hive: uninstaller entry left behind"
}

# An earlier version to replace: made from the same script, with a file
# that this version no longer has, in a folder of its own.
mkdir -p "$scratch/older/retired"
echo "the earlier program" > "$scratch/older/quillmend.exe"
echo "a plugin that went" > "$scratch/older/retired/old.dll"
printf 'SetOutPath "$INSTDIR"\nFile "%s"\nSetOutPath "$INSTDIR\\retired"\nFile "%s"\n' \
  "$scratch/older/quillmend.exe" "$scratch/older/retired/old.dll" > "$scratch/older/files.nsh"
printf 'quillmend.exe\r\nretired\\old.dll\r\n' > "$scratch/older/installed-files.txt"
printf 'SetOutPath "$INSTDIR"\nFile "%s"\n' "$scratch/older/installed-files.txt" >> "$scratch/older/files.nsh"
here=$(cd "$(dirname "$0")/.." && pwd)
makensis -V1 -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DVERSION_TEXT="1.0.0 build 1" -DVERSION_QUAD=1.0.0.1 \
  -DFILES="$scratch/older/files.nsh" -DLICENSE="$here/LICENSE" -DSIZE_KB=1 \
  -DICON="$build/dist/quillmend.ico" -DOUTFILE="$scratch/older-setup.exe" "$here/dist/windows/installer.nsi" \
  || fail "the earlier version's installer"

# For the current user. Wine runs every program elevated, as an
# administrator's programs run after the consent prompt; /CurrentUser keeps
# such an install to the user, as a program without the prompt installs.
run_and_wait wine "$scratch/older-setup.exe" /S /CurrentUser || fail "the earlier version's install: exit $?"
[ "$(entry HKCU DisplayVersion)" = "1.0.0 build 1" ] || fail "the earlier version is not installed"
run_and_wait wine "$setup" /S /CurrentUser || fail "silent install over the earlier version: exit $?"
check_installed HKCU "$local_programs" "$user_menu"
[ ! -e "$local_programs/retired" ] || fail "the earlier version's own files stayed"
# The program takes no file from the desktop: no "Open with" for it.
if wine reg query 'HKCU\Software\Classes' /s /f quillmend 2> /dev/null | tr -d '\r' | grep -qi 'quillmend.exe'; then
  fail "a file type or verb names quillmend.exe"
fi

version=$(wine "$local_programs/quillmend-cli.exe" --version 2> /dev/null | tr -d '\r')
[ "$version" = "quillmend-cli $short_version" ] || fail "installed --version: '$version'"
printf '<?xml version="1.0" encoding="UTF-8"?>\r\n<Export>\r\n<Action>Entire Plot</Action>\r\n<Fixture><AppStamp>Vectorworks</AppStamp><Note>gel\vR02</Note></Fixture>\r\n</Export>\r\n' \
  > "$documents/plot 1.xml"
cp "$documents/plot 1.xml" "$scratch/as-exported.xml"
said=$(cd "$documents" && wine "$local_programs/quillmend-cli.exe" "plot 1.xml" 2>&1 | tr -d '\r')
[ "$said" = "plot 1.xml: Done! Click back on Vectorworks and let it process the .xml file." ] \
  || fail "installed tool said: '$said'"
printf '<?xml version="1.0" encoding="UTF-8"?>\r\n<Export>\r\n<Action>Entire Plot</Action>\r\n<Fixture><AppStamp>Marlowbrook</AppStamp><Note>gelR02</Note></Fixture>\r\n</Export>\r\n' \
  | cmp -s - "$documents/plot 1.xml" || fail "repaired export: $(od -c "$documents/plot 1.xml" | head -3)"
cmp -s "$scratch/as-exported.xml" "$documents/plot 1 (Original).xml" || fail "the original was not kept"

# Over itself: the same files, one entry.
run_and_wait wine "$setup" /S /CurrentUser || fail "second install: exit $?"
check_installed HKCU "$local_programs" "$user_menu"

# A file of the user's in the program's folder is not the uninstaller's to remove.
echo "mine" > "$local_programs/notes.txt"
run_and_wait wine "$local_programs/uninstall.exe" /S || fail "silent uninstall: exit $?"
[ "$(cat "$local_programs/notes.txt" 2> /dev/null)" = mine ] || fail "the user's file in the program's folder went"
left=$(cd "$local_programs" && find . -mindepth 1 | tr '\n' ' ')
[ "$left" = "./notes.txt " ] || fail "HKCU: left beside the user's file: $left"
rm -r "$local_programs"
check_removed HKCU "$local_programs" "$user_menu"
cmp -s "$scratch/as-exported.xml" "$documents/plot 1 (Original).xml" || fail "uninstalling touched the user's files"

# Elevated, as every Wine program is: for all users.
program_files=$(folder_of ProgramW6432)/Quillmend
common_menu=$(folder_of ProgramData)/Microsoft/Windows/Start\ Menu/Programs
run_and_wait wine "$setup" /S || fail "install for all users: exit $?"
check_installed HKLM "$program_files" "$common_menu"
[ ! -e "$local_programs" ] || fail "an install for all users went into the user's folder"
run_and_wait wine "$program_files/uninstall.exe" /S || fail "uninstall for all users: exit $?"
check_removed HKLM "$program_files" "$common_menu"

finish installer
