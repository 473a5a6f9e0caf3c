#!/usr/bin/env bash
# Runs a test program on a desktop as a user has it: a virtual X server of
# the given size, a window manager (openbox, or xfwm4, which honours the
# Motif hints and can roll a window up), and a D-Bus session with the
# accessibility bus running, for Qt's accessibility bridge, for a screen
# reader's client (atspi_client.py) and for Orca. The platform theme, scale
# and the like come from the environment.
#
#   shell/tests/desktop.sh openbox|xfwm4 WIDTHxHEIGHT PROGRAM [ARGUMENT...]
set -euo pipefail
. "$(dirname "$0")/../../tests/lib.sh"
manager=$1 size=$2
shift 2
case $manager in
  openbox) start_manager=openbox ;;
  xfwm4) start_manager="env NO_AT_BRIDGE=1 xfwm4 --compositor=off --sm-client-disable" ;;
  *) echo "no such window manager here: $manager" >&2; exit 2 ;;
esac
launcher=$(ls /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher 2>/dev/null | head -1 || true)
[ -n "$launcher" ] || skip "the accessibility bus (Debian's at-spi2-core) is missing"
for tool in dbus-run-session xvfb-run $manager xprop; do
  command -v $tool > /dev/null || skip "$tool is missing (tools/install-deps installs it)"
done
exec xvfb-run -a -s "-screen 0 ${size}x24" dbus-run-session -- bash -c '
  launcher=$1 start_manager=$2
  shift 2
  "$launcher" --launch-immediately & bus=$!
  trap "kill \$bus \${manager:-} 2> /dev/null" EXIT
  # The window manager is there once it names its check window on the root.
  # openbox at times failed to open the display (seen with other X servers
  # busy beside this one): it is started again until it is there, and the
  # test fails plainly without it.
  for attempt in $(seq 5); do
    $start_manager & manager=$!
    for wait in $(seq 50); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id" && break 2
      kill -0 $manager 2> /dev/null || break
      sleep 0.1
    done
    kill $manager 2> /dev/null
  done
  xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id" || { echo "FAIL: $start_manager did not start"; exit 1; }
  "$@"' desktop "$launcher" "$start_manager" "$@"
