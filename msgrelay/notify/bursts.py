"""Groups a chat's notifications: at most one new notification per chat and window; the messages
that follow within the window replace it and are counted, until the user closes it."""

from __future__ import annotations

import dataclasses

WINDOW = 60.0  # seconds


@dataclasses.dataclass
class _Burst:
    started: float
    count: int = 1
    server_id: int = 0  # the notification server's id once it took the first one


@dataclasses.dataclass(frozen=True)
class Slot:
    replaces: int  # the notification to replace, 0 for a new one
    others: int  # earlier messages of the burst the notification stands for too


class Bursts:
    def __init__(self, window: float = WINDOW):
        self._window = window
        self._open: dict = {}  # chat -> _Burst

    def add(self, chat, now: float) -> Slot:
        """Where the next notification of `chat` goes; `now` in monotonic seconds."""
        self._open = {k: b for k, b in self._open.items() if now - b.started < self._window}
        burst = self._open.get(chat)
        if burst is None or not burst.server_id:
            self._open[chat] = _Burst(now)
            return Slot(0, 0)
        burst.count += 1
        return Slot(burst.server_id, burst.count - 1)

    def posted(self, chat, server_id: int):
        burst = self._open.get(chat)
        if burst is not None:
            burst.server_id = server_id

    def closed(self, server_id: int):
        """The notification went away (the user closed it): the chat's next message gets a new one,
        not counting those the user has seen off."""
        self._open = {k: b for k, b in self._open.items() if not (server_id and b.server_id == server_id)}
