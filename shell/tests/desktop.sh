#!/usr/bin/env bash
# Runs a test program on a desktop as a user has it: a virtual X server of
# the given size, the openbox window manager, and a D-Bus session with the
# accessibility bus running, for Qt's accessibility bridge and for a screen
# reader's client (atspi_client.py). The platform theme, scale and the like
# come from the environment.
#
#   shell/tests/desktop.sh WIDTHxHEIGHT PROGRAM [ARGUMENT...]
set -euo pipefail
. "$(dirname "$0")/../../tests/lib.sh"
size=$1
shift
launcher=$(ls /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher 2>/dev/null | head -1 || true)
[ -n "$launcher" ] || skip "the accessibility bus (Debian's at-spi2-core) is missing"
for tool in dbus-run-session xvfb-run openbox xprop; do
  command -v $tool > /dev/null || skip "$tool is missing (tools/install-deps installs it)"
done
exec xvfb-run -a -s "-screen 0 ${size}x24" dbus-run-session -- bash -c '
  launcher=$1
  shift
  "$launcher" --launch-immediately & bus=$!
  trap "kill \$bus \${manager:-} 2> /dev/null" EXIT
  # The window manager is there once it names its check window on the root.
  # openbox at times failed to open the display (seen with other X servers
  # busy beside this one): it is started again until it is there, and the
  # test fails plainly without it.
  for attempt in $(seq 5); do
    openbox & manager=$!
    for wait in $(seq 50); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id" && break 2
      kill -0 $manager 2> /dev/null || break
      sleep 0.1
    done
    kill $manager 2> /dev/null
  done
  xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id" || { echo "FAIL: openbox did not start"; exit 1; }
  "$@"' desktop "$launcher" "$@"
