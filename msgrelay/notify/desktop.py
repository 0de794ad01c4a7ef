"""razo's own connection to the session bus: posts notifications through the desktop's
notification server and passes on what the server says about them.

Posting follows the notification protocol: application name "razo", razo's icon and desktop entry,
the default action "打开" and no urgency of its own, so the server's Do Not Disturb decides as for
any application.  The server's signals (ActionInvoked, ActivationToken, NotificationClosed) are put
into the caller's queue, and only those that come from the server that took razo's notifications.

This connection's own Notify calls pass the capture's monitor like any application's: the capture
reads the application name and desktop entry, finds no chat client, and drops them unread.
"""

from __future__ import annotations

import queue

from .text import Note

APP_NAME = "razo"
APP_ID = "org.razo.Razo"  # icon name and desktop entry
DEFAULT_ACTION = ("default", "打开")
SERVICE = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
SIGNALS = ("ActionInvoked", "ActivationToken", "NotificationClosed")
CALL_TIMEOUT = 5.0


def _router(conn):
    from jeepney.io.threading import DBusRouter

    class Router(DBusRouter):
        def _receiver(self):
            try:
                super()._receiver()
            except (OSError, ValueError):  # the bus went away: the next post connects again
                pass

    return Router(conn)


class DesktopBus:
    """Used from one thread.  Connects on the first post and again after a failure."""

    def __init__(self, address: str, signals: queue.Queue, log=print):
        self._address = address
        self._signals = signals
        self._log = log
        self._conn = None
        self._router = None
        self._server = None  # unique bus name of the notification server that answered
        self.markup = False  # the server reads bodies as markup
        self._failing = False

    def _target(self, member: str, signature: str | None = None, args: tuple = ()):
        from jeepney import DBusAddress, new_method_call

        return new_method_call(DBusAddress(PATH, bus_name=SERVICE, interface=SERVICE), member, signature, args)

    def _connect(self):
        from jeepney import MatchRule
        from jeepney.bus_messages import message_bus
        from jeepney.io.threading import Proxy, open_dbus_connection

        conn = open_dbus_connection(self._address, auth_timeout=CALL_TIMEOUT)
        router = _router(conn)
        try:
            bus = Proxy(message_bus, router, timeout=CALL_TIMEOUT)
            for member in SIGNALS:
                bus.AddMatch(MatchRule(type="signal", sender=SERVICE, interface=SERVICE, member=member, path=PATH))
            router.filter(MatchRule(type="signal", interface=SERVICE, path=PATH), queue=self._signals)
            reply = router.send_and_get_reply(self._target("GetCapabilities"), timeout=CALL_TIMEOUT)
            capabilities = reply.body[0] if reply.header.message_type.name == "method_return" else []
        except BaseException:
            router.close()
            conn.close()
            raise
        self._conn, self._router = conn, router
        self.markup = "body-markup" in capabilities

    def post(self, note: Note, replaces: int) -> int | None:
        """The server's id for the notification, None when it could not be posted."""
        from jeepney import HeaderFields

        message = self._target("Notify", "susssasa{sv}i", (
            APP_NAME, replaces, APP_ID, note.summary, note.body, list(DEFAULT_ACTION),
            {"desktop-entry": ("s", APP_ID), "category": ("s", "im.received")}, -1))
        reply = None
        for fresh in (self._router is None, True):  # a connection that went stale is made again once
            try:
                if self._router is None:
                    self._connect()
                reply = self._router.send_and_get_reply(message, timeout=CALL_TIMEOUT)
                break
            except Exception as error:  # no bus, the bus went away, no answer in time
                self.close()
                if fresh:
                    self._unavailable(type(error).__name__)
                    return None
        if reply.header.message_type.name != "method_return":
            self._unavailable(reply.header.fields.get(HeaderFields.error_name, "error"))  # e.g. no server
            return None
        self._server = reply.header.fields.get(HeaderFields.sender)
        if self._failing:
            self._failing = False
            self._log("msgrelay: desktop notifications work again")
        return reply.body[0]

    def from_server(self, message) -> bool:
        """The signal came from the server that took razo's notifications."""
        from jeepney import HeaderFields

        return self._server is not None and message.header.fields.get(HeaderFields.sender) == self._server

    def _unavailable(self, why: str):
        if not self._failing:
            self._failing = True
            self._log(f"msgrelay: cannot post desktop notifications ({why})")

    def close(self):
        if self._router is not None:
            self._router.close()
            self._router = None
        if self._conn is not None:
            self._conn.close()
            self._conn = None
        self._server = None
