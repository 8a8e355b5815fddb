"""A desktop notification server on the test's own session bus, for the end-to-end tests.

    desktop_bus.py LOG

Owns org.freedesktop.Notifications and writes every call to LOG, one JSON object a line:
    {"call": "Notify", "id": ..., "app": ..., "replaces": ..., "icon": ..., "summary": ..., "body": ...,
     "actions": [...], "hints": {...}, "timeout": ..., "t": seconds}
    {"call": "CloseNotification", "id": ...}
The test acts as the user through the object /test (interface org.hourlink.TestDesktop):
    Click(u id)    the default action, then the notification closes as dismissed (reason 2)
    Expire(u id)   the notification's time runs out (reason 1)
    Dismiss(u id)  the user closes it (reason 2)
Its start is logged as {"call": "ready", "pid": ...}. Ends on SIGTERM or when the bus goes.
The tray host beside it is sni_host.py.
"""

import json
import os
import signal
import sys
import time

from gi.repository import Gio, GLib

NOTIFICATIONS_XML = """
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/>
    </method>
    <method name="CloseNotification"><arg type="u" direction="in"/></method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/>
    </method>
    <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
    <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
  </interface>
</node>"""

TEST_XML = """
<node>
  <interface name="org.hourlink.TestDesktop">
    <method name="Click"><arg type="u" direction="in"/></method>
    <method name="Expire"><arg type="u" direction="in"/></method>
    <method name="Dismiss"><arg type="u" direction="in"/></method>
  </interface>
</node>"""


class Desktop:
    def __init__(self, log_path):
        self.log = open(log_path, "a", buffering=1)
        self.open = set()
        self.next_id = 1
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        self.register("/org/freedesktop/Notifications", NOTIFICATIONS_XML, self.notifications)
        self.register("/test", TEST_XML, self.test)
        self.own("org.freedesktop.Notifications")

    def register(self, path, xml, handler):
        interface = Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0]
        self.bus.register_object(path, interface, handler, None, None)

    def own(self, name):
        reply = self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                   "RequestName", GLib.Variant("(su)", (name, 4)), None,
                                   Gio.DBusCallFlags.NONE, -1, None)
        if reply.unpack()[0] != 1:
            sys.exit("could not own " + name)

    def write(self, record):
        record["t"] = round(time.time(), 3)
        self.log.write(json.dumps(record, ensure_ascii=False) + "\n")

    def emit(self, name, signature, values):
        self.bus.emit_signal(None, "/org/freedesktop/Notifications", "org.freedesktop.Notifications", name,
                             GLib.Variant(signature, values))

    def closed(self, nid, reason):
        if nid in self.open:
            self.open.discard(nid)
            self.emit("NotificationClosed", "(uu)", (nid, reason))
            self.write({"call": "closed", "id": nid, "reason": reason})

    def notifications(self, conn, sender, path, iface, method, params, invocation):
        args = params.unpack()
        if method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (["body", "actions"],)))
        elif method == "GetServerInformation":
            invocation.return_value(GLib.Variant("(ssss)", ("test-desktop", "hourlink", "1", "1.2")))
        elif method == "Notify":
            app, replaces, icon, summary, body, actions, hints, timeout = args
            if replaces in self.open:
                nid = replaces
            else:
                nid = self.next_id
                self.next_id += 1
            self.open.add(nid)
            self.write({"call": "Notify", "id": nid, "app": app, "replaces": replaces, "icon": icon,
                        "summary": summary, "body": body, "actions": list(actions),
                        "hints": {k: v for k, v in hints.items() if isinstance(v, (int, str, bool))},
                        "timeout": timeout})
            invocation.return_value(GLib.Variant("(u)", (nid,)))
        elif method == "CloseNotification":
            self.write({"call": "CloseNotification", "id": args[0]})
            invocation.return_value(None)
            self.closed(args[0], 3)

    def test(self, conn, sender, path, iface, method, params, invocation):
        (nid,) = params.unpack()
        if method == "Click":
            if nid in self.open:
                self.emit("ActionInvoked", "(us)", (nid, "default"))
            self.closed(nid, 2)
        elif method == "Expire":
            self.closed(nid, 1)
        elif method == "Dismiss":
            self.closed(nid, 2)
        invocation.return_value(None)


def main():
    desktop = Desktop(sys.argv[1])
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    desktop.write({"call": "ready", "pid": os.getpid()})
    loop.run()
    return 0 if desktop else 1


if __name__ == "__main__":
    sys.exit(main())
