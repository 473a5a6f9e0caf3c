#!/usr/bin/python3
"""What a screen reader learns of a program on the accessibility bus (AT-SPI),
read as Orca reads it, through libatspi.

  atspi_client.py watch PID   one line per event of the program, as it comes:
                              "event TYPE DETAIL1 ROLE NAME", tab-separated;
                              "ready" first, once listening
"""
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def safe(read, fallback=""):
    try:
        return read()
    except Exception as error:  # the object may be gone by the time it is asked
        print(f"atspi_client: {error}", file=sys.stderr)
        return fallback


def describe(node):
    return safe(node.get_role_name), safe(node.get_name).replace("\n", " ")


def watch(pid):
    def heard(event):
        source = event.source
        if not source or safe(source.get_process_id, -1) != pid:
            return
        role, name = describe(source)
        print("event", event.type, event.detail1, role, name, sep="\t", flush=True)

    listener = Atspi.EventListener.new(heard)
    for kind in ("object:", "window:", "focus:"):
        listener.register(kind)
    print("ready", flush=True)
    Atspi.event_main()


if __name__ == "__main__":
    {"watch": watch}[sys.argv[1]](int(sys.argv[2]))
