"""What the core derives from the held messages, worked out once per message or once per change.

Per message, while the configuration that decides it stays the same: whether the settings let it
through (client switched on, allowlist, exclude words), its sorting for the user's profile, its
duplicate key and its search key.  Per list of messages (an EventList, which nobody changes), kept
on the list itself: the messages shown, their sortings and keys, the digest and the search.  A new
message or a message leaving the period makes a new list, so everything is worked out again then,
and only then; the per-message results are reused.

Results are kept per message id, which is unique within one source of messages (`source` names it:
the demo, or one generation of the database file).
"""

from __future__ import annotations

import json
import threading

from ..demo_data import Event
from ..store.held import EventList
from . import visibility
from .digest import Digest, event_key
from .search import Finder, message_key
from .sorting import Profile, Sorting, sort_message


class _PerMessage:
    """Results per message id for one key (a configuration part), replaced when the key changes."""

    def __init__(self, compute):
        self._compute = compute
        self._key = None
        self._values: dict[int, object] = {}

    def values(self, events: list[Event], key, argument) -> list:
        if key != self._key:
            self._key, self._values = key, {}
        values, compute, out = self._values, self._compute, []
        for event in events:
            value = values.get(event.id)
            if value is None:
                value = values[event.id] = compute(event, argument)
            out.append(value)
        return out

    def __len__(self):
        return len(self._values)

    def clear(self):
        self._key, self._values = None, {}

    def forget(self, ids: set[int]):
        """Drops the results of messages that are gone."""
        for number in [n for n in self._values if n not in ids]:
            del self._values[number]


class Week:
    """Thread-safe; one per core."""

    def __init__(self):
        self._lock = threading.RLock()
        self._source = None
        self._widest = 0  # the most messages one period held so far
        self._shown = _PerMessage(visibility.shown)
        self._sortings = _PerMessage(sort_message)
        self._keys = _PerMessage(lambda event, _: event_key(event))
        self._search = _PerMessage(lambda event, _: message_key(event))
        self._interned: dict[Sorting, Sorting] = {}  # equal sortings share one object
        self._digesting = threading.RLock()  # one digest at a time: a second asker then finds it kept

    def _use(self, source, held: EventList):
        """Forgets the results of another source, and those of messages gone from a period about as
        wide as the widest asked for lately (a narrower one leaves the others alone)."""
        parts = (self._shown, self._sortings, self._keys, self._search)
        if source != self._source:
            self._source, self._widest = source, 0
            for part in parts:
                part.clear()
        self._widest = max(len(held), int(self._widest * 0.999))  # forgets a wider period slowly
        if 2 * len(held) >= self._widest and any(len(part) > 2 * len(held) + 1000 for part in parts):
            ids = {e.id for e in held}
            for part in parts:
                part.forget(ids)

    def visible(self, source, held: EventList, config: dict) -> EventList:
        """The messages of `held` (newest first) that the configuration lets through."""
        key = ("visible", visibility.key(config))
        with self._lock:
            found = held.memo.get(key)
            if found is None:
                self._use(source, held)
                flags = self._shown.values(held, key[1], config)
                found = held.memo[key] = EventList(e for e, shown in zip(held, flags) if shown)
            return found

    def sortings(self, events: list[Event], config: dict) -> list[Sorting]:
        profile = Profile.from_config(config)
        memo = getattr(events, "memo", None)
        with self._lock:
            if memo is None:
                return [sort_message(e, profile) for e in events]
            found = memo.get(("sortings", profile))
            if found is None:
                interned = self._interned
                sortings = self._sortings.values(events, profile, profile)
                found = memo[("sortings", profile)] = [interned.setdefault(s, s) for s in sortings]
                if len(interned) > 100_000:
                    interned.clear()
            return found

    def keys(self, events: list[Event]) -> list[str]:
        """The duplicate key (digest.event_key) of each message."""
        memo = getattr(events, "memo", None)
        with self._lock:
            if memo is None:
                return [event_key(e) for e in events]
            found = memo.get("keys")
            if found is None:
                found = memo["keys"] = self._keys.values(events, None, None)
            return found

    def digest(self, events: list[Event], config: dict, completed_keys, completed_texts) -> Digest:
        """The rule digest of the messages; worked out once per list and configuration."""
        return self._kept(events, config, "digest", lambda: Digest(
            events, config, completed_keys=completed_keys, completed_texts=completed_texts,
            sortings=self.sortings(events, config), keys=self.keys(events)))

    def summary(self, events: list[Event], config: dict, completed_keys, completed_texts) -> dict:
        """The digest's wire form (the caller may not change it)."""
        return self._kept(events, config, "summary",
                          lambda: self.digest(events, config, completed_keys, completed_texts).summary())

    def _kept(self, events, config: dict, what: str, make):
        memo = getattr(events, "memo", None)
        if memo is None:
            return make()
        key = (what, json.dumps(config, sort_keys=True, ensure_ascii=False))
        with self._digesting:
            found = memo.get(key)
            if found is None:
                found = memo[key] = make()
            return found

    def finder(self, events: list[Event]) -> Finder:
        memo = getattr(events, "memo", None)
        if memo is None:
            return Finder(events, [message_key(e) for e in events])
        with self._lock:
            found = events.memo.get("finder")
            if found is None:
                found = events.memo["finder"] = Finder(events, self._search.values(events, None, None))
            return found
