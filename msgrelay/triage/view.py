"""One period's served messages with what the sorting says of each: the one source of the digest,
the kind lists, the counts, the rule answers and the wire form of every message."""

from __future__ import annotations

import dataclasses
import threading

from ..demo_data import Event
from . import kinds, wire
from .digest import Digest, event_key, item_line
from .sorting import Profile, Sorting


def dup_key(event: Event) -> int:
    """The duplicate key (digest.event_key) as a number: a week holds one per message."""
    return hash(event_key(event))


class View:
    """events: served, newest first, the excluded ones too; sortings (as the lists read them),
    excluded and keys (dup_key): one per message, in the same order; config: the configuration the
    sorting read.  What is worked out from them is kept until the view goes."""

    def __init__(self, events: list[Event], sortings: list[Sorting], excluded: list[bool], keys: list[int],
                 config: dict, completed_keys=frozenset(), completed_texts=frozenset()):
        self.events = events
        self.sortings = sortings
        self.excluded = excluded
        self.keys = keys
        self.config = config
        self.names = Profile.from_config(config).names
        self.done_keys = frozenset(hash(k) for k in completed_keys)
        self.done_texts = frozenset(completed_texts)
        self._lock = threading.RLock()  # one thread works a result out; the others find it kept
        self._kept: dict = {}

    def kept(self, name, make):
        with self._lock:
            if name not in self._kept:
                self._kept[name] = make()
            return self._kept[name]

    # -- what the lists see ---------------------------------------------------------------------------
    @property
    def pool(self) -> tuple[list[Event], list[Sorting], list[int]]:
        """The messages that are not excluded, with their sortings and keys."""
        def make():
            if not any(self.excluded):
                return self.events, self.sortings, self.keys
            kept = [i for i, x in enumerate(self.excluded) if not x]
            return [self.events[i] for i in kept], [self.sortings[i] for i in kept], [self.keys[i] for i in kept]
        return self.kept("pool", make)

    @property
    def digest(self) -> Digest:
        def make():
            events, sortings, keys = self.pool
            return Digest(events, self.config, self.done_keys, self.done_texts, sortings=sortings, keys=keys)
        return self.kept("digest", make)

    @property
    def candidates(self) -> list[Event]:
        """What an AI provider may pick from: neither excluded nor suspicious (the same list while
        the view lives)."""
        return self.kept("candidates", lambda: [e for e, s in zip(*self.pool[:2]) if not s.suspicious])

    @property
    def summary(self) -> dict:
        """The rule digest's wire form; the total counts every served message."""
        return self.kept("summary", lambda: dict(self.digest.summary(), total_messages=len(self.events)))

    def served(self, pick, make) -> "Served":
        """make() with the AI provider's current pick (None: the rules'), kept while it stays."""
        with self._lock:
            found = self._kept.get("served")
            if found is None or found[0] is not pick:
                found = self._kept["served"] = (pick, make())
            return found[1]

    # -- one message ----------------------------------------------------------------------------------
    def position(self, event: Event) -> int | None:
        """Where the message is among the events (newest first), found by its time."""
        events, at = self.events, event.at
        low, high = 0, len(events)
        while low < high:  # the first one not newer than the message
            middle = (low + high) // 2
            if events[middle].at > at:
                low = middle + 1
            else:
                high = middle
        for index in range(low, len(events)):
            if events[index] is event:
                return index
            if events[index].at != at:
                break
        return next((i for i, e in enumerate(events) if e is event), None)  # a list out of time order

    def sorting_of(self, event: Event) -> Sorting:
        """Its sorting as the lists read it (a message not served: the empty one)."""
        index = self.position(event)
        return self.sortings[index] if index is not None else Sorting()

    def key(self, event: Event) -> int:
        return dup_key(event)

    def done(self, event: Event, index: int | None = None) -> bool:
        """The user marked it (or a duplicate of it) done."""
        if not self.done_keys and not self.done_texts:
            return False
        key = self.keys[index] if index is not None else dup_key(event)
        return key in self.done_keys or item_line(event) in self.done_texts

    def item(self, event: Event, index: int | None = None) -> dict:
        """The message's wire form with its sorting."""
        if index is None:
            index = self.position(event)
        if index is None:  # not among the served messages: nothing is known of it
            return wire.item(event, Sorting(), False, False)
        return wire.item(event, self.sortings[index], self.done(event, index), self.excluded[index])


@dataclasses.dataclass
class Served:
    """What the overview serves: the view, the summary as /api/state sends it (counts included) and
    every kind list, uncut.  `kept` keeps what is worked out from them."""

    view: View
    summary: dict
    lists: dict[str, list[Event]]
    _kept: dict = dataclasses.field(default_factory=dict, repr=False)
    _lock: threading.Lock = dataclasses.field(default_factory=threading.Lock, repr=False)

    def kept(self, name, make):
        with self._lock:
            if name not in self._kept:
                self._kept[name] = make()
            return self._kept[name]


def serve(view: View, summary: dict, cards: dict[str, list[Event]]) -> Served:
    """The kind lists and counts that go with a summary whose cards hold `cards`."""
    lists = kinds.kind_lists(view.digest, cards, view.done, view.key)
    counts = kinds.counts(lists, view.digest, view.done, view.key)
    return Served(view, dict(summary, total_messages=len(view.events), counts=counts), lists)
