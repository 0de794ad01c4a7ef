"""The notifier: hears of every stored message, tells the user of those that need them.

`consider` is called on the capture's thread once a message has been stored; it decides at once
(with the settings of that moment) and hands what deserves a notification to the notifier's own
thread, which posts it, groups a chat's bursts and opens razo when a notification is clicked.
Nothing of a message's text is logged.
"""

from __future__ import annotations

import datetime as dt
import queue
import threading
import time

from ..demo_data import Event
from . import decide, text
from .bursts import WINDOW, Bursts
from .desktop import DEFAULT_ACTION, DesktopBus
from .opener import Opener

JOIN_TIMEOUT = 5.0
_STOP = object()


class Notifier:
    def __init__(self, config, bus_address: str | None, local_time, log=print, clock=time.monotonic,
                 opener=None, max_age: dt.timedelta = decide.MAX_AGE, burst_window: float = WINDOW):
        """config: returns the current configuration; local_time: the aware local time (for the age
        of a message); clock: monotonic seconds (for bursts); opener(message_id, activation_token)
        opens razo at a message."""
        self._config = config
        self._bus_address = bus_address
        self._local_time = local_time
        self._log = log
        self._clock = clock
        self._open = opener or Opener(log=log)
        self._max_age = max_age
        self._bursts = Bursts(burst_window)
        self._inbox: queue.Queue = queue.Queue()
        self._desktop = DesktopBus(bus_address, self._inbox, log=log) if bus_address else None
        self._lock = threading.Lock()
        self._thread: threading.Thread | None = None
        self._closed = False
        self._messages: dict[int, int] = {}  # the server's notification id -> the message it opens
        self._tokens: dict[int, str] = {}  # the server's notification id -> activation token
        self.posted = 0

    def consider(self, event: Event):
        """A message has just been stored."""
        if self._desktop is None:
            return
        if not decide.worth_telling(event, self._config(), self._local_time(), self._max_age):
            return
        with self._lock:
            if self._closed:
                return
            if self._thread is None:
                self._thread = threading.Thread(target=self._run, name="msgrelay-notify", daemon=True)
                self._thread.start()
        self._inbox.put(event)

    def close(self):
        with self._lock:
            self._closed = True
            thread = self._thread
        if thread is not None:
            self._inbox.put(_STOP)
            thread.join(timeout=JOIN_TIMEOUT)

    # -- the notifier's thread ----------------------------------------------------------------------
    def _run(self):
        try:
            while True:
                item = self._inbox.get()
                if item is _STOP:
                    return
                try:
                    if isinstance(item, Event):
                        self._post(item)
                    else:
                        self._heard(item)
                except Exception as error:  # one odd message or signal never ends the notifier
                    self._log(f"msgrelay: a desktop notification failed: {type(error).__name__}")
        finally:
            self._desktop.close()

    def _post(self, event: Event):
        chat = (event.chat_target, event.session_name)
        slot = self._bursts.add(chat, self._clock())
        note = text.compose(event, slot.others, markup=self._desktop.markup)
        server_id = self._desktop.post(note, slot.replaces)
        if server_id is None:
            return
        self._bursts.posted(chat, server_id)
        self._messages.pop(slot.replaces, None)
        self._tokens.pop(slot.replaces, None)
        self._messages[server_id] = event.id
        self.posted += 1
        self._log(f"msgrelay: posted a desktop notification for a {event.label} message "
                  f"({self.posted} since start{', grouped' if slot.others else ''})")

    def _heard(self, signal):
        from jeepney import HeaderFields

        if not self._desktop.from_server(signal):
            return
        member = signal.header.fields.get(HeaderFields.member)
        server_id = signal.body[0] if signal.body else None
        if member == "ActivationToken":
            if server_id in self._messages:
                self._tokens[server_id] = signal.body[1]
        elif member == "ActionInvoked":
            message_id = self._messages.get(server_id)
            if message_id is not None and signal.body[1] == DEFAULT_ACTION[0]:
                self._log("msgrelay: a notification was opened; opening razo at its message")
                self._open(message_id, self._tokens.pop(server_id, None))
        elif member == "NotificationClosed":
            self._messages.pop(server_id, None)
            self._tokens.pop(server_id, None)
            self._bursts.closed(server_id)
