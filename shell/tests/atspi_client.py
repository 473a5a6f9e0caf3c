#!/usr/bin/python3
"""What a screen reader learns of a program on the accessibility bus (AT-SPI),
read as Orca reads it, through libatspi.

  atspi_client.py watch PID   one line per event of the program, as it comes:
                              "event TYPE DETAIL1 ROLE NAME", tab-separated;
                              "ready" first, once listening
  atspi_client.py tree PID    the program's tree: "DEPTH ROLE NAME STATES
                              RELATIONS", tab-separated; STATES and RELATIONS
                              (TYPE:TARGET-NAME) comma-separated
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


def program(pid):
    # Under the GTK platform theme, GTK's own bridge puts a second, empty
    # application of the same process on the bus: the one with windows.
    desktop = Atspi.get_desktop(0)
    found = [desktop.get_child_at_index(index) for index in range(desktop.get_child_count())]
    found = [app for app in found if app and safe(app.get_process_id, -1) == pid]
    return max(found, key=lambda app: safe(app.get_child_count, 0), default=None)


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


def tree(pid):
    app = program(pid)
    if not app:
        sys.exit(f"no program with process {pid} on the accessibility bus")

    def show(node, depth):
        role, name = describe(node)
        states = safe(lambda: [Atspi.StateType(s).value_nick for s in node.get_state_set().get_states()], [])
        relations = []
        for relation in safe(node.get_relation_set, []):
            kind = relation.get_relation_type().value_nick
            for target in range(relation.get_n_targets()):
                relations.append(f"{kind}:{safe(relation.get_target(target).get_name)}")
        print(depth, role, name, ",".join(states), ",".join(relations), sep="\t")
        for index in range(safe(node.get_child_count, 0)):
            child = safe(lambda: node.get_child_at_index(index), None)
            if child:
                show(child, depth + 1)

    show(app, 0)


if __name__ == "__main__":
    {"watch": watch, "tree": tree}[sys.argv[1]](int(sys.argv[2]))
