#!/usr/bin/python3
"""A stand-in file manager on a session bus: owns org.freedesktop.FileManager1 and records each
ShowItems call it takes in RECORD (the URIs one a line, then the startup id), written whole,
before it answers. With --never-answer it takes each call and never answers, as a file manager
that hangs.

Usage: file_manager_standin.py [--never-answer] RECORD   (the bus is DBUS_SESSION_BUS_ADDRESS)
"""

import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

INTERFACE = "org.freedesktop.FileManager1"


class FileManager(dbus.service.Object):
    def __init__(self, bus, record, answers):
        super().__init__(bus, "/org/freedesktop/FileManager1")
        self.record = record
        self.answers = answers
        self.calls = 0

    @dbus.service.method(
        INTERFACE, in_signature="ass", out_signature="", async_callbacks=("answer", "refuse")
    )
    def ShowItems(self, uris, startup_id, answer, refuse):
        del refuse  # never: a file manager that hangs neither answers nor refuses
        self.calls += 1
        part = f"{self.record}.part"
        with open(part, "w", encoding="ascii", errors="backslashreplace") as out:
            out.write(f"call {self.calls}\n")
            out.writelines(f"{uri}\n" for uri in uris)
            out.write(f"startup id: {startup_id}\n")
        os.rename(part, self.record)
        if self.answers:
            answer()


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    arguments = sys.argv[1:]
    answers = arguments[0] != "--never-answer"
    FileManager(bus, arguments[-1], answers)
    # The name last, once the object answers.
    name = dbus.service.BusName(INTERFACE, bus, do_not_queue=True)
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    main()
