#!/usr/bin/env bash
# The windows on a Windows desktop at 150 % (144 DPI) and a 1366 x 768
# screen, a laptop's: under Wine, in a prefix of its own, on an X server of
# that size, the window-fit suite finds every text whole and both windows
# inside the screen at each font, drawn at 1.5 device pixels to the pixel.
#
#   windows_high_dpi.sh BUILD_DIR
# With Wine's environment as tools/windows/wine-env sets it; starts its own X server.
set -uo pipefail
build=$(realpath "$1")
scratch=$(mktemp -d)
export WINEPREFIX=$scratch/wine
trap 'rm -rf "$scratch"' EXIT
. "$(dirname "$0")/lib.sh"
tools=$(realpath "$(dirname "$0")/../tools/windows")

report=$scratch/window_fit.txt
xvfb-run -a -s "-screen 0 1366x768x24" sh -c '"$0/wine-prefix" 144
  QT_QPA_PLATFORM=windows wine "$1" -o "$2,txt"; wineserver -k' \
  "$tools" "$build/shell/tests/tst_window_fit.exe" "Z:${report//\//\\}" > /dev/null 2>&1
grep -E "QINFO|FAIL|Totals" "$report" | sed 's/^/  /'
grep -q "^Totals: [0-9]* passed, 0 failed" "$report" || fail "a text is cut off or a window leaves the screen at 144 DPI"
# Every font's row, however many the suite has, at 1.5.
grep -q "QINFO" "$report" && ! grep "QINFO" "$report" | grep -qv "at 1.5 device pixels to the pixel" \
  || fail "the windows are not drawn at 144 DPI"
finish windows_high_dpi
