#!/usr/bin/env bash
# Runs a test program as a screen reader would meet it: on a virtual X server,
# in a D-Bus session with the accessibility bus running, and with Qt's
# accessibility bridge on.
#
#   tests/screen_reader.sh PROGRAM
set -euo pipefail
. "$(dirname "$0")/../../tests/lib.sh"
program=$1
launcher=$(ls /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher 2>/dev/null | head -1 || true)
[ -n "$launcher" ] || skip "the accessibility bus (Debian's at-spi2-core) is missing"
command -v dbus-run-session > /dev/null || skip "dbus-run-session (Debian's dbus) is missing"
command -v xvfb-run > /dev/null || skip "xvfb-run is missing"
exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- bash -c '
  "$1" --launch-immediately & bus=$!
  trap "kill $bus 2> /dev/null" EXIT
  QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 "$2"' screen-reader "$launcher" "$program"
