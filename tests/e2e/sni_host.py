#!/usr/bin/env python3
"""A StatusNotifierItem host of the tests' own, on the session bus the test started.

  sni_host.py serve                  owns org.kde.StatusNotifierWatcher, says a host is registered and keeps
                                     the items that register (an item whose bus name goes is dropped)
  sni_host.py items                  prints the registered items, one a line
  sni_host.py tooltip ITEM           prints the title of the item's tooltip
  sni_host.py pixmaps ITEM           prints the sizes of the item's icon pictures, "WxH:BYTES" each
  sni_host.py activate ITEM          calls Activate(0, 0), as a left click on the icon does
  sni_host.py menu ITEM              prints the item's menu as the host would draw it: "id label toggle" lines
  sni_host.py click ITEM LABEL       reports the menu line with that label as clicked
"""
import sys

import dbus
import dbus.service

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
PROPS = "org.freedesktop.DBus.Properties"


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        self.bus = bus
        self.items = []
        super().__init__(bus, "/StatusNotifierWatcher")
        bus.add_signal_receiver(self.owner_changed, "NameOwnerChanged", "org.freedesktop.DBus")

    def owner_changed(self, name, old, new):
        gone = [item for item in self.items if item == name or item.startswith(name + "/")]
        if new == "" and gone:
            for item in gone:
                self.items.remove(item)
                self.StatusNotifierItemUnregistered(item)

    @dbus.service.method(WATCHER, in_signature="s", out_signature="")
    def RegisterStatusNotifierItem(self, service):
        if service not in self.items:
            self.items.append(service)
        self.StatusNotifierItemRegistered(service)

    @dbus.service.method(WATCHER, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemUnregistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="")
    def StatusNotifierHostRegistered(self):
        pass

    def properties(self):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties()[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties()


def serve():
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus)
    name = dbus.service.BusName(WATCHER, bus, do_not_queue=True)
    watcher.StatusNotifierHostRegistered()
    print("serving", flush=True)
    GLib.MainLoop().run()
    del name


def item_object(bus, item):
    service, _, path = item.partition("/")
    return bus.get_object(service, "/" + path if path else "/StatusNotifierItem")


def menu_object(bus, item):
    obj = item_object(bus, item)
    path = obj.Get(ITEM, "Menu", dbus_interface=PROPS)
    return bus.get_object(obj.bus_name, path)


def menu_lines(menu):
    menu.AboutToShow(0, dbus_interface=MENU)
    _, layout = menu.GetLayout(0, -1, [], dbus_interface=MENU)
    lines = []
    for child in layout[2]:
        props = child[1]
        toggle = "-"
        if props.get("toggle-type") == "checkmark":
            toggle = "on" if int(props.get("toggle-state", 0)) == 1 else "off"
        lines.append((int(child[0]), str(props.get("label", "")), toggle))
    return lines


def main(argv):
    if argv[1] == "serve":
        serve()
        return 0
    bus = dbus.SessionBus()
    if argv[1] == "items":
        watcher = bus.get_object(WATCHER, "/StatusNotifierWatcher")
        for item in watcher.Get(WATCHER, "RegisteredStatusNotifierItems", dbus_interface=PROPS):
            print(item)
        return 0
    item = argv[2]
    if argv[1] == "tooltip":
        print(item_object(bus, item).Get(ITEM, "ToolTip", dbus_interface=PROPS)[2])
    elif argv[1] == "pixmaps":
        for width, height, data in item_object(bus, item).Get(ITEM, "IconPixmap", dbus_interface=PROPS):
            print("%dx%d:%d" % (width, height, len(data)))
    elif argv[1] == "activate":
        item_object(bus, item).Activate(0, 0, dbus_interface=ITEM)
    elif argv[1] == "menu":
        for line in menu_lines(menu_object(bus, item)):
            print("%d %s %s" % line)
    elif argv[1] == "click":
        menu = menu_object(bus, item)
        ids = [i for i, label, _ in menu_lines(menu) if label == argv[3]]
        if not ids:
            print("no line %r" % argv[3], file=sys.stderr)
            return 1
        menu.Event(ids[0], "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0), dbus_interface=MENU)
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
