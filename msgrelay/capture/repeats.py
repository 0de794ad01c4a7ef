"""Tells a new message from a notification that only repeats one already stored.

A notification is a repeat when
- it carries the identity of an earlier notification (a `Notify` replacing id, or the id under
  which an app withdrew and re-added it) with the same chat, sender and text; or
- it replaces an earlier notification and shows what the chat's last stored message showed; or
- the same chat, sender and text were stored within the last few seconds (one message that
  passed two notification interfaces, or a client that announced it twice).
A replacement with a new text is a new message: clients update a chat's notification that way.
For a replacement in a chat it has not seen since it started, the filter asks what was stored
last, so that a notification replaced after a restart of the core is not stored again.
"""

from __future__ import annotations

import collections
import datetime as dt

REPEAT_WINDOW = dt.timedelta(seconds=5)
MEMORY = 512  # identities and chats remembered; the oldest are forgotten first


def remember(table: collections.OrderedDict, key, value):
    """Sets table[key] and forgets the oldest keys beyond MEMORY."""
    table[key] = value
    table.move_to_end(key)
    while len(table) > MEMORY:
        table.popitem(last=False)


class RepeatFilter:
    """Not thread-safe: the capture calls it under its own lock."""

    def __init__(self, window: dt.timedelta = REPEAT_WINDOW, stored=None):
        """stored(target, session): (sender, text) of the chat's newest stored message, or None."""
        self._window = window
        self._stored = stored or (lambda target, session: None)
        self._by_key: collections.OrderedDict = collections.OrderedDict()
        self._last_in_chat: collections.OrderedDict = collections.OrderedDict()
        self._recent: collections.OrderedDict = collections.OrderedDict()

    def is_repeat(self, target: str, session: str, sender: str, content: str, at: dt.datetime,
                  key: tuple | None, replacing: bool) -> bool:
        shown = (sender, content)
        if key is not None and self._by_key.get(key) == (target, session) + shown:
            return True
        if replacing:
            last = self._last_in_chat.get((target, session))
            if (last if last is not None else self._stored(target, session)) == shown:
                return True
        seen = self._recent.get((target, session) + shown)
        return seen is not None and abs(at - seen) <= self._window

    def stored(self, target: str, session: str, sender: str, content: str, at: dt.datetime, key: tuple | None):
        if key is not None:
            remember(self._by_key, key, (target, session, sender, content))
        remember(self._last_in_chat, (target, session), (sender, content))
        remember(self._recent, (target, session, sender, content), at)
