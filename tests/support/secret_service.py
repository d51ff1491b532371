#!/usr/bin/python3
"""A Secret Service for tests: one unlocked collection, the "default" alias,
plain sessions only, secrets in memory. Serves the bus named by
DBUS_SESSION_BUS_ADDRESS until killed; prints "ready" once it owns its name."""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SECRET = "org.freedesktop.Secret."
BASE = "/org/freedesktop/secrets"
COLLECTION = BASE + "/collection/login"


class NotSupported(dbus.DBusException):
    _dbus_error_name = "org.freedesktop.DBus.Error.NotSupported"


class Item(dbus.service.Object):
    def __init__(self, bus, path, attributes, label, secret, owner):
        super().__init__(bus, path)
        self.path, self.attributes, self.label, self.secret = path, attributes, label, secret
        self.owner = owner

    @dbus.service.method(SECRET + "Item", out_signature="o")
    def Delete(self):
        self.owner.items.pop(self.path, None)
        self.remove_from_connection()
        return dbus.ObjectPath("/")

    @dbus.service.method(SECRET + "Item", in_signature="o", out_signature="(oayays)")
    def GetSecret(self, session):
        return (session, dbus.ByteArray(b""), dbus.ByteArray(self.secret), "text/plain")

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"Attributes": dbus.Dictionary(self.attributes, signature="ss"),
                "Label": self.label, "Locked": False, "Created": dbus.UInt64(0),
                "Modified": dbus.UInt64(0)}


class Collection(dbus.service.Object):
    def __init__(self, bus, path, service):
        super().__init__(bus, path)
        self.bus, self.service = bus, service

    @dbus.service.method(SECRET + "Collection", in_signature="a{sv}(oayays)b",
                         out_signature="oo")
    def CreateItem(self, properties, secret, replace):
        attributes = dict(properties.get(SECRET + "Item.Attributes", {}))
        label = str(properties.get(SECRET + "Item.Label", ""))
        for path, item in list(self.service.items.items()):
            if replace and item.attributes == attributes:
                item.secret, item.label = bytes(secret[2]), label
                return (dbus.ObjectPath(path), dbus.ObjectPath("/"))
        self.service.count += 1
        path = COLLECTION + "/" + str(self.service.count)
        self.service.items[path] = Item(self.bus, path, attributes, label, bytes(secret[2]),
                                        self.service)
        return (dbus.ObjectPath(path), dbus.ObjectPath("/"))

    @dbus.service.method(SECRET + "Collection", in_signature="a{ss}", out_signature="ao")
    def SearchItems(self, attributes):
        return self.service.Matching(attributes)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"Items": dbus.Array(self.service.items.keys(), signature="o"),
                "Label": "Login", "Locked": False, "Created": dbus.UInt64(0),
                "Modified": dbus.UInt64(0)}


class Service(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, BASE)
        self.bus, self.items, self.count, self.sessions = bus, {}, 0, 0
        self.collections = [Collection(bus, p, self) for p in (COLLECTION, BASE + "/aliases/default")]

    def Matching(self, attributes):
        wanted = dict(attributes)
        return dbus.Array([p for p, i in self.items.items()
                           if all(i.attributes.get(k) == v for k, v in wanted.items())],
                          signature="o")

    @dbus.service.method(SECRET + "Service", in_signature="sv", out_signature="vo")
    def OpenSession(self, algorithm, _input):
        if algorithm != "plain":
            raise NotSupported("only plain sessions")
        self.sessions += 1
        path = BASE + "/session/" + str(self.sessions)
        return (dbus.String("", variant_level=1), dbus.ObjectPath(path))

    @dbus.service.method(SECRET + "Service", in_signature="a{ss}", out_signature="aoao")
    def SearchItems(self, attributes):
        return (self.Matching(attributes), dbus.Array([], signature="o"))

    @dbus.service.method(SECRET + "Service", in_signature="ao", out_signature="aoo")
    def Unlock(self, objects):
        return (objects, dbus.ObjectPath("/"))

    @dbus.service.method(SECRET + "Service", in_signature="aoo", out_signature="a{o(oayays)}")
    def GetSecrets(self, items, session):
        return dbus.Dictionary(
            {p: (session, dbus.ByteArray(b""), dbus.ByteArray(self.items[p].secret), "text/plain")
             for p in items if p in self.items}, signature="o(oayays)")

    @dbus.service.method(SECRET + "Service", in_signature="s", out_signature="o")
    def ReadAlias(self, name):
        return dbus.ObjectPath(COLLECTION if name == "default" else "/")

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"Collections": dbus.Array([COLLECTION], signature="o")}


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    service = Service(bus)
    name = dbus.service.BusName("org.freedesktop.secrets", bus, do_not_queue=True)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del service, name


if __name__ == "__main__":
    sys.exit(main())
