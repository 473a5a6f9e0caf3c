#!/usr/bin/python3
"""Runs Orca with the files it writes (its debug log) flushed line by line,
so that a test reads what Orca has spoken while Orca runs.

  orca_logged.py ORCA-ARGUMENT...
"""
import builtins
import runpy
import sys

_open = builtins.open


def _line_buffered(file, mode="r", buffering=-1, *args, **kwargs):
    if "w" in mode and "b" not in mode and buffering == -1:
        buffering = 1
    return _open(file, mode, buffering, *args, **kwargs)


builtins.open = _line_buffered
sys.argv = ["/usr/bin/orca"] + sys.argv[1:]
runpy.run_path("/usr/bin/orca", run_name="__main__")
