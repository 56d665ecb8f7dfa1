#!/usr/bin/python3
# A stand-in for a desktop's status-notifier watcher with one host on the session bus: the
# registry that a panel keeps of the tray items it draws. It takes registrations and prints
# "registered <service>" for each; it draws nothing. Prints "ready" once it owns its name.
import sys

from gi.repository import Gio, GLib

NAME = "org.kde.StatusNotifierWatcher"
PATH = "/StatusNotifierWatcher"
XML = """
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>
"""

items = []


def on_call(connection, sender, path, interface, method, parameters, invocation):
    if method == "RegisterStatusNotifierItem":
        service = parameters.unpack()[0]
        # An item may name only its object path; then it is the sender's.
        if service.startswith("/"):
            service = sender
        items.append(service)
        print("registered " + service, flush=True)
        connection.emit_signal(None, PATH, NAME, "StatusNotifierItemRegistered", GLib.Variant("(s)", (service,)))
    invocation.return_value(None)


def on_property(connection, sender, path, interface, name):
    if name == "RegisteredStatusNotifierItems":
        return GLib.Variant("as", items)
    if name == "IsStatusNotifierHostRegistered":
        return GLib.Variant("b", True)
    return GLib.Variant("i", 0)


def on_bus(connection, name):
    node = Gio.DBusNodeInfo.new_for_xml(XML)
    connection.register_object(PATH, node.interfaces[0], on_call, on_property, None)


def on_name(connection, name):
    print("ready", flush=True)


def on_lost(connection, name):
    print("cannot own " + NAME, file=sys.stderr, flush=True)
    sys.exit(1)


Gio.bus_own_name(Gio.BusType.SESSION, NAME, Gio.BusNameOwnerFlags.NONE, on_bus, on_name, on_lost)
GLib.MainLoop().run()
