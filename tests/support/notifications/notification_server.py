#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# A desktop notification server for the integration tests: owns org.freedesktop.Notifications on
# the session bus and reports every Notify call on standard output as one line,
#   notify {"id": 1, "app_name": ..., "replaces_id": 0, "app_icon": ..., "summary": ...,
#           "body": ..., "actions": [...], "hints": [...hint names], "expire_timeout": -1}
# after printing "ready" once the name is owned. Commands on standard input, one per line:
#   invoke ID ACTION  -> emits ActionInvoked(ID, ACTION)
#   close ID          -> emits NotificationClosed(ID, 2)
import json
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

INTERFACE = """
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
    <method name="CloseNotification"><arg type="u" direction="in"/></method>
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
    </method>
    <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
    <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
  </interface>
</node>
"""
PATH = "/org/freedesktop/Notifications"
NAME = "org.freedesktop.Notifications"


class Server:
    def __init__(self):
        self.connection = None
        self.next_id = 1

    def emit(self, signal, parameters):
        self.connection.emit_signal(None, PATH, NAME, signal, parameters)

    def on_call(self, connection, sender, path, interface, method, parameters, invocation):
        if method == "Notify":
            app, replaces, icon, summary, body, actions, hints, timeout = parameters.unpack()
            notification = replaces if replaces else self.next_id
            if not replaces:
                self.next_id += 1
            print("notify " + json.dumps({
                "id": notification, "app_name": app, "replaces_id": replaces, "app_icon": icon,
                "summary": summary, "body": body, "actions": actions, "hints": sorted(hints),
                "expire_timeout": timeout}), flush=True)
            invocation.return_value(GLib.Variant("(u)", (notification,)))
        elif method == "CloseNotification":
            invocation.return_value(None)
        elif method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (["actions", "body"],)))
        else:
            invocation.return_value(GLib.Variant("(ssss)", ("korvane-test", "korvane", "1", "1.2")))

    def on_command(self, channel, condition):
        # The channel's own buffer: sys.stdin would read ahead and leave later lines unannounced.
        status, line, _, _ = channel.read_line()
        if status != GLib.IOStatus.NORMAL:
            loop.quit()
            return False
        words = line.split()
        if words and words[0] == "invoke":
            self.emit("ActionInvoked", GLib.Variant("(us)", (int(words[1]), words[2])))
        elif words and words[0] == "close":
            self.emit("NotificationClosed", GLib.Variant("(uu)", (int(words[1]), 2)))
        return True


def main():
    server = Server()
    info = Gio.DBusNodeInfo.new_for_xml(INTERFACE)

    def acquired(connection, name):
        print("ready", flush=True)

    def bus_acquired(connection, name):
        server.connection = connection
        connection.register_object(PATH, info.interfaces[0], server.on_call, None, None)

    Gio.bus_own_name(Gio.BusType.SESSION, NAME, Gio.BusNameOwnerFlags.NONE, bus_acquired, acquired,
                     lambda connection, name: loop.quit())
    GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_IN | GLib.IO_HUP, server.on_command)
    loop.run()


loop = GLib.MainLoop()
if __name__ == "__main__":
    main()
