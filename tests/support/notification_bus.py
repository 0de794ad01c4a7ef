#!/usr/bin/python3
"""A private D-Bus session bus with a stand-in notification server, for the capture tests.

As a module: `PrivateBus` starts `dbus-daemon` on its own configuration (no service activation,
so no real notification daemon is started), `NotificationServer` owns org.freedesktop.Notifications,
org.gtk.Notifications and a portal backend name and answers every call, and `Sender` sends the
calls that chat clients, GLib apps and the desktop portal make.

As a program (for the C++ end-to-end test): starts a bus and a server, prints the bus address on
the first line, then reads one JSON array per line from standard input and sends it:
["notify", app, summary, body] or ["gtk", app_id, id, title, body]; each is answered with "sent".
It ends, taking the bus with it, when standard input closes.  Exit status 77: dbus-daemon or
python3-jeepney is missing.
"""

from __future__ import annotations

import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading

SKIP = 77
PORTAL_NAME = "org.freedesktop.impl.portal.desktop.razotest"
_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={folder}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
    {extra}
  </policy>
</busconfig>
"""
# A policy line that makes the bus refuse BecomeMonitor.
DENY_MONITORING = '<deny send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Monitoring"/>'


def missing() -> str | None:
    """Why the private bus cannot run here, or None."""
    if not shutil.which("dbus-daemon"):
        return "dbus-daemon is missing (scripts/install-deps.sh installs it)"
    try:
        import jeepney  # noqa: F401
    except ImportError:
        return "python3-jeepney is missing (scripts/install-deps.sh installs it)"
    return None


class PrivateBus:
    def __init__(self, policy: str = ""):
        self._dir = tempfile.TemporaryDirectory(prefix="razo-bus-")
        config = pathlib.Path(self._dir.name) / "bus.conf"
        config.write_text(_CONFIG.format(folder=self._dir.name, extra=policy), encoding="utf-8")
        self._proc = subprocess.Popen(["dbus-daemon", f"--config-file={config}", "--nofork", "--print-address=1"],
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.address = self._proc.stdout.readline().strip()
        if not self.address:
            self.close()
            raise RuntimeError("dbus-daemon did not start")

    def close(self):
        if self._proc.poll() is None:
            self._proc.terminate()
            self._proc.wait(timeout=10)
        self._proc.stdout.close()
        self._dir.cleanup()


def click(conn, note_id: int, token: str = "", to: str | None = None):
    """What a notification server says when the user clicks a notification: the activation token,
    then the default action; to everyone, or to the one connection `to`."""
    from jeepney import DBusAddress, HeaderFields, new_signal

    emitter = DBusAddress("/org/freedesktop/Notifications", interface="org.freedesktop.Notifications")
    signals = [new_signal(emitter, "ActivationToken", "us", (note_id, token))] if token else []
    signals.append(new_signal(emitter, "ActionInvoked", "us", (note_id, "default")))
    for signal in signals:
        if to:
            signal.header.fields[HeaderFields.destination] = to
        conn.send(signal)


class NotificationServer:
    """Answers Notify with increasing ids (or the id it replaces) and every other call with an empty
    reply; `razo` lists the Notify calls razo's core made; `invoke` clicks one of them, `dismiss` closes one."""

    CAPABILITIES = ["actions", "body"]  # no body-markup, so razo posts its bodies unescaped

    def __init__(self, address: str):
        from jeepney.bus_messages import message_bus
        from jeepney.io.blocking import Proxy, open_dbus_connection

        self._conn = open_dbus_connection(address)
        bus = Proxy(message_bus, self._conn, timeout=5)
        for name in ("org.freedesktop.Notifications", "org.gtk.Notifications", PORTAL_NAME):
            bus.RequestName(name)
        self._next_id = 0
        self._lock = threading.Lock()
        self._razo: list[dict] = []
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def razo(self) -> list[dict]:
        with self._lock:
            return list(self._razo)

    def _serve(self):
        from jeepney import HeaderFields, MessageType, new_method_return

        while True:
            try:
                message = self._conn.receive()
            except (OSError, ValueError):
                return
            if message.header.message_type != MessageType.method_call:
                continue
            member = message.header.fields.get(HeaderFields.member)
            if member == "Notify":
                app, replaces, icon, summary, body, actions, hints, timeout = message.body
                if not replaces:
                    self._next_id += 1
                note_id = replaces or self._next_id
                reply = new_method_return(message, "u", (note_id,))
                if app == "razo":
                    with self._lock:
                        self._razo.append({"id": note_id, "sender": message.header.fields[HeaderFields.sender],
                                           "replaces": replaces, "icon": icon, "summary": summary,
                                           "body": body, "actions": actions, "hints": hints, "timeout": timeout})
            elif member == "GetCapabilities":
                reply = new_method_return(message, "as", (self.CAPABILITIES,))
            else:
                reply = new_method_return(message)
            try:
                self._conn.send(reply)
            except OSError:
                return

    def invoke(self, note_id: int, token: str = ""):
        click(self._conn, note_id, token)

    def dismiss(self, note_id: int):
        from jeepney import DBusAddress, new_signal

        emitter = DBusAddress("/org/freedesktop/Notifications", interface="org.freedesktop.Notifications")
        self._conn.send(new_signal(emitter, "NotificationClosed", "uu", (note_id, 2)))  # 2: the user closed it

    def close(self):
        import socket

        try:
            self._conn.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._thread.join(timeout=5)
        self._conn.close()


class Sender:
    """Sends notifications the way applications and the portal do; each call waits for its reply."""

    def __init__(self, address: str):
        from jeepney.io.blocking import open_dbus_connection

        self._conn = open_dbus_connection(address)

    def _call(self, bus_name: str, path: str, interface: str, member: str, signature: str, args: tuple):
        from jeepney import DBusAddress, new_method_call

        target = DBusAddress(path, bus_name=bus_name, interface=interface)
        return self._conn.send_and_get_reply(new_method_call(target, member, signature, args), timeout=5).body

    def notify(self, app: str, summary: str, body: str, replaces_id: int = 0, desktop_entry: str | None = None) -> int:
        hints = {"desktop-entry": ("s", desktop_entry)} if desktop_entry else {}
        reply = self._call("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                           "org.freedesktop.Notifications", "Notify", "susssasa{sv}i",
                           (app, replaces_id, "", summary, body, [], hints, -1))
        return reply[0]

    @staticmethod
    def _note(title: str, body: str) -> dict:
        return {"title": ("s", title), "body": ("s", body), "priority": ("s", "normal")}

    def gtk_add(self, app_id: str, note_id: str, title: str, body: str):
        self._call("org.gtk.Notifications", "/org/gtk/Notifications", "org.gtk.Notifications", "AddNotification",
                   "ssa{sv}", (app_id, note_id, self._note(title, body)))

    def gtk_remove(self, app_id: str, note_id: str):
        self._call("org.gtk.Notifications", "/org/gtk/Notifications", "org.gtk.Notifications", "RemoveNotification",
                   "ss", (app_id, note_id))

    def portal_add(self, app_id: str, note_id: str, title: str, body: str):
        """The desktop portal's call to its backend for a sandboxed app."""
        self._call(PORTAL_NAME, "/org/freedesktop/portal/desktop", "org.freedesktop.impl.portal.Notification",
                   "AddNotification", "ssa{sv}", (app_id, note_id, self._note(title, body)))

    def forge_click(self, note_id: int, to: str):
        """Another application claims a click on razo's notification, straight to razo's connection."""
        click(self._conn, note_id, "forged", to=to)

    def close(self):
        self._conn.close()


def main() -> int:
    why = missing()
    if why:
        print(f"SKIP: {why}", flush=True)
        return SKIP
    bus = PrivateBus()
    server = NotificationServer(bus.address)
    sender = Sender(bus.address)
    try:
        print(bus.address, flush=True)
        for line in sys.stdin:
            if not line.strip():
                continue
            kind, *args = json.loads(line)
            if kind == "notify":
                sender.notify(*args)
            elif kind == "gtk":
                sender.gtk_add(*args)
            else:
                print(f"unknown command {kind}", flush=True)
                continue
            print("sent", flush=True)
    finally:
        sender.close()
        server.close()
        bus.close()
    return 0


if __name__ == "__main__":
    os.environ.pop("DBUS_SESSION_BUS_ADDRESS", None)
    sys.exit(main())
