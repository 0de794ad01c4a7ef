"""Watches the user's session bus as a monitor for the calls that put up desktop notifications.

Three calls are watched, each a method call whose arguments name the sending application:

- ``org.freedesktop.Notifications.Notify``: libnotify, Qt and Electron apps, and the desktop
  portal's backend on KDE, which forwards a sandboxed app's notification here with its
  application id as the name or in the ``desktop-entry`` hint;
- ``org.gtk.Notifications.AddNotification(app_id, id, notification)``: GLib apps on GNOME, and
  the GNOME portal backend forwarding a Flatpak app's notification to the shell;
- ``org.freedesktop.impl.portal.Notification.AddNotification(app_id, id, notification)``: the
  portal's call to its backend, which carries the sandboxed app's id.  Newer GNOME shells are that
  backend themselves and put the notification up without a further bus call, so this is the only
  place such a notification shows.

The app-facing portal call (``org.freedesktop.portal.Notification``) is not watched: it does not
name the application, and every portal notification passes one of the calls above.  Where one
message passes two of them (portal backend, then shell), the capture's repeat rule stores it once.

Privacy: the monitor sees every notification on the bus.  `read_call` decides on the application
name, id and desktop-entry hint first and returns None for every other application before the
title or the body is looked at; nothing of it is kept, logged or counted.
"""

from __future__ import annotations

import dataclasses
import socket

from . import clients

NOTIFY = ("org.freedesktop.Notifications", "Notify", "susssasa{sv}i")
GTK_ADD = ("org.gtk.Notifications", "AddNotification", "ssa{sv}")
PORTAL_ADD = ("org.freedesktop.impl.portal.Notification", "AddNotification", "ssa{sv}")
WATCHED = (NOTIFY, GTK_ADD, PORTAL_ADD)
PATHS = {NOTIFY: "notify", GTK_ADD: "gtk", PORTAL_ADD: "portal"}
MATCH_RULES = [f"type='method_call',interface='{iface}',member='{member}'" for iface, member, _ in WATCHED]
CALL_TIMEOUT = 5.0


@dataclasses.dataclass(frozen=True)
class Sighting:
    """One chat client's notification, as announced on the bus."""

    target: str  # "wechat" or "wecom"
    app: str  # the name or id that identified the client
    path: str  # "notify", "gtk" or "portal"
    title: str
    body: str
    key: tuple | None = None  # the notification's own identity, when the call names one
    replacing: bool = False  # the call says it replaces an earlier notification


class MonitorError(Exception):
    """The bus could not be watched; `state` is "bus_error" or "refused", the text says why."""

    def __init__(self, state: str, text: str):
        super().__init__(text)
        self.state = state
        self.text = text


def _text(variant) -> str:
    """The text of an a{sv} member, "" for anything else."""
    if isinstance(variant, tuple) and len(variant) == 2 and variant[0] == "s" and isinstance(variant[1], str):
        return variant[1]
    return ""


def read_call(message) -> Sighting | None:
    """The chat client's notification carried by a watched call, else None."""
    from jeepney import HeaderFields, MessageType

    header = message.header
    if header.message_type != MessageType.method_call:
        return None
    fields = header.fields
    call = (fields.get(HeaderFields.interface), fields.get(HeaderFields.member), fields.get(HeaderFields.signature))
    path = PATHS.get(call)
    if path is None:
        return None
    args = message.body
    if path == "notify":
        app_name, replaces_id, hints = args[0], args[1], args[6]
        hit = clients.target_of(app_name, _text(hints.get("desktop-entry")))
        if hit is None:
            return None
        sender = fields.get(HeaderFields.sender, "")
        key = ("notify", sender, replaces_id) if replaces_id else None
        return Sighting(hit[0], hit[1], path, args[3], args[4], key, bool(replaces_id))
    app_id, note_id, note = args
    hit = clients.target_of(app_id)
    if hit is None:
        return None
    body = _text(note.get("body")) or _text(note.get("markup-body"))
    return Sighting(hit[0], hit[1], path, _text(note.get("title")), body, ("app", app_id.casefold(), note_id))


def _close_descriptors(value):
    """File descriptors that came with a message (portal icons, sounds) are closed at once."""
    from jeepney.fds import FileDescriptor

    if isinstance(value, FileDescriptor):
        value.close()
    elif isinstance(value, (tuple, list)):
        for item in value:
            _close_descriptors(item)
    elif isinstance(value, dict):
        for item in value.values():
            _close_descriptors(item)


class BusMonitor:
    """One monitor connection.  `run` blocks until the connection ends or `stop` is called."""

    def __init__(self, address: str, on_sighting, on_monitoring=lambda: None):
        self._address = address
        self._on_sighting = on_sighting
        self._on_monitoring = on_monitoring
        self._conn = None
        self._stopped = False
        self.monitoring = False  # became a monitor at least once

    def _connect(self):
        from jeepney.bus_messages import Monitoring
        from jeepney.io.blocking import open_dbus_connection

        try:
            conn = open_dbus_connection(self._address, enable_fds=True, auth_timeout=CALL_TIMEOUT)
        except Exception as error:  # unsupported address, no socket, refused, authentication
            raise MonitorError("bus_error", f"无法连接 D-Bus 会话总线：{error}") from None
        try:
            reply = conn.send_and_get_reply(Monitoring().BecomeMonitor(MATCH_RULES), timeout=CALL_TIMEOUT)
        except Exception as error:
            conn.close()
            raise MonitorError("bus_error", f"D-Bus 会话总线没有回应监听请求：{error}") from None
        if reply.header.message_type.name == "error":
            conn.close()
            detail = reply.body[0] if reply.body and isinstance(reply.body[0], str) else "AccessDenied"
            raise MonitorError("refused", f"D-Bus 会话总线拒绝了通知监听：{detail}")
        return conn

    def run(self) -> str:
        """Returns "stopped" after `stop`, "lost" when the bus went away; raises MonitorError."""
        conn = self._connect()
        self._conn = conn
        if self._stopped:
            conn.close()
            return "stopped"
        self.monitoring = True
        self._on_monitoring()
        try:
            while True:
                try:
                    message = conn.receive()
                except (OSError, ValueError, RuntimeError):  # closed, reset, or a stream we cannot read
                    return "stopped" if self._stopped else "lost"
                try:
                    sighting = read_call(message)
                    if sighting is not None:
                        self._on_sighting(sighting)
                except Exception:  # a call we cannot read is skipped, and nothing of it is kept
                    pass
                finally:
                    _close_descriptors(message.body)
                    del message
        finally:
            conn.close()

    def stop(self):
        self._stopped = True
        conn = self._conn
        if conn is not None:
            try:
                conn.sock.shutdown(socket.SHUT_RDWR)  # wakes the blocked receive
            except OSError:
                pass
