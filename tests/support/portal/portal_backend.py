#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# A global-shortcuts backend for xdg-desktop-portal in the integration tests: owns
# org.freedesktop.impl.portal.desktop.korvanetest on the session bus, answers the frontend's
# org.freedesktop.impl.portal.GlobalShortcuts calls and keeps the session objects they create.
# Prints "ready" once the name is owned. Commands on standard input, one per line (ids hold no
# spaces), answered on standard output ("error ..." when a command makes no sense):
#   create-answer N             -> ok   response code of later CreateSession calls (default 0)
#   bind-answer N [TRIGGER...]  -> ok   response of later BindShortcuts; on 0 every shortcut's
#                                       trigger_description is TRIGGER, or its preferred_trigger
#   hold-binds / release-binds  -> ok   leave BindShortcuts unanswered / answer the held ones now
#   activate ID / deactivate ID -> ok   Activated / Deactivated for ID on every live session, stamped
#                                       with the monotonic clock in milliseconds
#   change ID TRIGGER...        -> ok   ShortcutsChanged with ID's new trigger on every live session
#   close-sessions              -> ok   Session.Closed on every live session, which are then gone
#   binds     -> "binds N" (BindShortcuts calls so far), then one line per shortcut of the last,
#                "shortcut ID<TAB>DESCRIPTION<TAB>PREFERRED_TRIGGER" (\ tab newline escaped), "end"
#   sessions  -> "sessions N" (live sessions)
# It also answers org.freedesktop.impl.portal.RemoteDesktop for keyboard input. A Start whose
# session brought no restore_data this backend handed out "shows" the approval dialog, answered as
# set; one with such data is granted silently. Commands:
#   remote-answer N [DEVICES] -> ok   response of later Starts that show the dialog (default 0);
#                                     on 0 DEVICES (a type mask) are granted, else the types asked
#   hold-starts     -> ok   leave later Starts unanswered
#   remote          -> "remote APPROVALS TYPES PERSIST_MODE" (dialogs shown so far; the device types
#                      and persist mode of the last SelectDevices, -1 where none was asked)
#   keysyms         -> one line "keysym KEYSYM STATE" per NotifyKeyboardKeysym so far, then "end"
import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

NAME = "org.freedesktop.impl.portal.desktop.korvanetest"
PATH = "/org/freedesktop/portal/desktop"
INTERFACES = Gio.DBusNodeInfo.new_for_xml("""
<node>
  <interface name="org.freedesktop.impl.portal.GlobalShortcuts">
    <method name="CreateSession">
      <arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="BindShortcuts">
      <arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="a(sa{sv})" direction="in"/>
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="ListShortcuts">
      <arg type="o" direction="in"/><arg type="o" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <signal name="Activated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/></signal>
    <signal name="Deactivated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/></signal>
    <signal name="ShortcutsChanged"><arg type="o"/><arg type="a(sa{sv})"/></signal>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.impl.portal.RemoteDesktop">
    <method name="CreateSession">
      <arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="SelectDevices">
      <arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="NotifyKeyboardKeycode">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="in"/>
    </method>
    <method name="NotifyKeyboardKeysym">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="in"/>
    </method>
    <property name="AvailableDeviceTypes" type="u" access="read"/>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.impl.portal.Session">
    <method name="Close"/>
    <signal name="Closed"/>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.impl.portal.Request">
    <method name="Close"/>
  </interface>
</node>
""").interfaces
SHORTCUTS, REMOTE, SESSION, REQUEST = INTERFACES
DEVICE_TYPES = 7  # keyboard, pointer, touchscreen
RESTORE_VENDOR = "korvanetest"


def escaped(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def shortcut_list(shortcuts):
    return [(sid, {"description": GLib.Variant("s", description), "trigger_description": GLib.Variant("s", trigger)})
            for sid, (description, trigger) in shortcuts.items()]


def shortcut_results(shortcuts):
    return {"shortcuts": GLib.Variant("a(sa{sv})", shortcut_list(shortcuts))}


class Backend:
    def __init__(self):
        self.connection = None
        self.create_answer = 0
        self.bind_answer = (0, "")
        self.holding = False
        self.held = {}       # request handle -> (registration, invocation, session, shortcuts)
        self.sessions = {}   # session handle -> (registration, {id: (description, trigger)})
        self.remote_sessions = set()  # the handles among them of remote desktop sessions
        self.bind_count = 0
        self.last_bind = []  # (id, description, preferred trigger) of the last BindShortcuts call
        self.remote_answer = (0, None)
        self.holding_starts = False
        self.held_starts = []  # their invocations, kept so that they stay unanswered
        self.approvals = 0
        self.asked = (-1, -1)  # device types and persist mode of the last SelectDevices
        self.selected = {}     # session handle -> (types, persist mode, restorable)
        self.grants = 0        # restore data handed out: "grant-1", "grant-2", ...
        self.keysyms = []      # (keysym, state) of every NotifyKeyboardKeysym

    def version(self, connection, sender, path, interface, name):
        return GLib.Variant("u", 1)

    def remote_property(self, connection, sender, path, interface, name):
        return GLib.Variant("u", DEVICE_TYPES if name == "AvailableDeviceTypes" else 2)

    def on_call(self, connection, sender, path, interface, method, parameters, invocation):
        if interface == REMOTE.name:
            self.on_remote_call(connection, method, parameters, invocation)
            return
        arguments = parameters.unpack()
        if method == "CreateSession":
            _, session, _, _ = arguments
            if self.create_answer == 0:
                registration = connection.register_object(session, SESSION, self.on_session_call, self.version, None)
                self.sessions[session] = (registration, {})
            # The frontend copies "shortcuts" into its Response whatever the answer, and complains when it is missing.
            invocation.return_value(GLib.Variant("(ua{sv})", (self.create_answer, shortcut_results({}))))
        elif method == "BindShortcuts":
            request, session, shortcuts, _, _ = arguments
            self.bind_count += 1
            self.last_bind = [(sid, props.get("description", ""), props.get("preferred_trigger", ""))
                              for sid, props in shortcuts]
            if self.holding:
                registration = connection.register_object(request, REQUEST, self.on_request_call, None, None)
                self.held[request] = (registration, invocation, session, self.last_bind)
            else:
                self.answer_bind(invocation, session, self.last_bind)
        elif method == "ListShortcuts":
            _, session = arguments
            bound = self.sessions[session][1] if session in self.sessions else {}
            invocation.return_value(GLib.Variant("(ua{sv})", (0, shortcut_results(bound))))

    def on_remote_call(self, connection, method, parameters, invocation):
        # Unpacking would lose the restore data's inner variant, which is what identifies a grant.
        if method == "CreateSession":
            session = parameters.get_child_value(1).get_string()
            registration = connection.register_object(session, SESSION, self.on_session_call, self.version, None)
            self.sessions[session] = (registration, {})
            self.remote_sessions.add(session)
            invocation.return_value(GLib.Variant("(ua{sv})", (0, {})))
        elif method == "SelectDevices":
            session = parameters.get_child_value(1).get_string()
            options = parameters.get_child_value(3)
            types = options.lookup_value("types", GLib.VariantType("u"))
            persist = options.lookup_value("persist_mode", GLib.VariantType("u"))
            self.asked = (types.get_uint32() if types else -1, persist.get_uint32() if persist else -1)
            self.selected[session] = (types.get_uint32() if types else DEVICE_TYPES, persist.get_uint32() if persist else 0,
                                      self.restorable(options.lookup_value("restore_data", None)))
            invocation.return_value(GLib.Variant("(ua{sv})", (0, {})))
        elif method == "Start":
            session = parameters.get_child_value(1).get_string()
            # Without SelectDevices the dialog has nothing to offer, and grants nothing.
            types, persist, restorable = self.selected.get(session, (0, 0, False))
            if self.holding_starts:
                self.held_starts.append(invocation)
                return
            response, granted = 0, None
            if not restorable:
                self.approvals += 1
                response, granted = self.remote_answer
            results = {}
            if response == 0:
                results["devices"] = GLib.Variant("u", types if granted is None else granted)
                results["persist_mode"] = GLib.Variant("u", persist)
                if persist != 0:
                    self.grants += 1
                    grant = GLib.Variant("s", "grant-%d" % self.grants)
                    results["restore_data"] = GLib.Variant("(suv)", (RESTORE_VENDOR, 1, grant))
            invocation.return_value(GLib.Variant("(ua{sv})", (response, results)))
        elif method == "NotifyKeyboardKeysym":
            self.keysyms.append((parameters.get_child_value(2).get_int32(), parameters.get_child_value(3).get_uint32()))
            invocation.return_value(None)
        else:
            invocation.return_value(None)

    def restorable(self, data):
        if data is None or data.get_type_string() != "(suv)":
            return False
        vendor, version, grant = data.get_child_value(0), data.get_child_value(1), data.get_child_value(2)
        inner = grant.get_variant()
        if vendor.get_string() != RESTORE_VENDOR or version.get_uint32() != 1 or inner.get_type_string() != "s":
            return False
        number = inner.get_string()[len("grant-"):]
        return inner.get_string().startswith("grant-") and number.isdigit() and 0 < int(number) <= self.grants

    def answer_bind(self, invocation, session, shortcuts):
        response, trigger = self.bind_answer
        if session not in self.sessions:
            response = 2
        results = {}
        if response == 0:
            bound = {sid: (description, trigger or preferred) for sid, description, preferred in shortcuts}
            self.sessions[session][1].clear()
            self.sessions[session][1].update(bound)
            results = shortcut_results(bound)
        invocation.return_value(GLib.Variant("(ua{sv})", (response, results)))

    def on_session_call(self, connection, sender, path, interface, method, parameters, invocation):
        # The frontend closes the session when its client asks or leaves the bus.
        if path in self.sessions:
            connection.unregister_object(self.sessions.pop(path)[0])
            self.remote_sessions.discard(path)
        self.selected.pop(path, None)
        invocation.return_value(None)

    def on_request_call(self, connection, sender, path, interface, method, parameters, invocation):
        # The client gave up waiting on a held BindShortcuts.
        if path in self.held:
            registration, held, _, _ = self.held.pop(path)
            connection.unregister_object(registration)
            held.return_value(GLib.Variant("(ua{sv})", (2, {})))
        invocation.return_value(None)

    def release(self):
        self.holding = False
        for registration, invocation, session, shortcuts in self.held.values():
            self.connection.unregister_object(registration)
            self.answer_bind(invocation, session, shortcuts)
        self.held.clear()

    def emit(self, path, interface, signal, values):
        self.connection.emit_signal(None, path, interface.name, signal, values)

    def run(self, words, rest):
        command = words[0] if words else ""
        if command == "create-answer":
            self.create_answer = int(words[1])
        elif command == "bind-answer":
            self.bind_answer = (int(words[1]), rest(2))
        elif command == "hold-binds":
            self.holding = True
        elif command == "release-binds":
            self.release()
        elif command in ("activate", "deactivate"):
            signal = "Activated" if command == "activate" else "Deactivated"
            stamp = time.monotonic_ns() // 1000000
            # Shortcut signals name shortcut sessions only: the portal takes any other for a fault.
            for session in self.sessions.keys() - self.remote_sessions:
                self.emit(PATH, SHORTCUTS, signal, GLib.Variant("(osta{sv})", (session, words[1], stamp, {})))
        elif command == "change":
            sid, trigger = words[1], rest(2)
            for session, (_, bound) in self.sessions.items():
                if session in self.remote_sessions:
                    continue
                changed = (bound[sid][0] if sid in bound else "", trigger)
                if sid in bound:
                    bound[sid] = changed
                self.emit(PATH, SHORTCUTS, "ShortcutsChanged",
                          GLib.Variant("(oa(sa{sv}))", (session, shortcut_list({sid: changed}))))
        elif command == "close-sessions":
            for session, (registration, _) in self.sessions.items():
                self.emit(session, SESSION, "Closed", None)
                self.connection.unregister_object(registration)
            self.sessions.clear()
            self.remote_sessions.clear()
        elif command == "binds":
            lines = ["binds %d" % self.bind_count]
            lines += ["shortcut " + "\t".join(escaped(field) for field in shortcut) for shortcut in self.last_bind]
            return "\n".join(lines + ["end"])
        elif command == "remote-answer":
            self.remote_answer = (int(words[1]), int(words[2]) if len(words) > 2 else None)
        elif command == "hold-starts":
            self.holding_starts = True
        elif command == "remote":
            return "remote %d %d %d" % (self.approvals, self.asked[0], self.asked[1])
        elif command == "keysyms":
            return "\n".join(["keysym %d %d" % event for event in self.keysyms] + ["end"])
        elif command == "sessions":
            return "sessions %d" % len(self.sessions)
        else:
            return "error unknown command: " + command
        return "ok"

    def on_command(self, channel, condition):
        # The channel's own buffer: sys.stdin would read ahead and leave later lines unanswered.
        status, line, _, _ = channel.read_line()
        if status != GLib.IOStatus.NORMAL:
            loop.quit()
            return False
        line = line.rstrip("\n")
        words = line.split(" ")

        def rest(start):
            return line.split(" ", start)[start] if len(words) > start else ""
        try:
            answer = self.run(words, rest)
        except Exception as error:  # answered, so that the test reports it instead of waiting
            answer = "error %s: %s" % (line, error)
        print(answer, flush=True)
        return True


def main():
    backend = Backend()

    def bus_acquired(connection, name):
        backend.connection = connection
        connection.register_object(PATH, SHORTCUTS, backend.on_call, backend.version, None)
        connection.register_object(PATH, REMOTE, backend.on_call, backend.remote_property, None)

    Gio.bus_own_name(Gio.BusType.SESSION, NAME, Gio.BusNameOwnerFlags.NONE, bus_acquired,
                     lambda connection, name: print("ready", flush=True), lambda connection, name: loop.quit())
    GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_IN | GLib.IO_HUP, backend.on_command)
    loop.run()


loop = GLib.MainLoop()
if __name__ == "__main__":
    main()
