"""What the core derives from the held messages, worked out once per list of messages.

A list of messages (an EventList, which nobody changes) keeps what was derived from it in its memo:
the messages served, their view (sortings, exclusions, duplicate keys, digest) and the search.  A new
message or one leaving the period makes a new list; what is derived one message at a time (duplicate
keys, exclusion words, search keys) is then carried over from the last list for the messages both
hold, since they share a run of messages (the new ones come first), so only the new messages are
worked out.  Nothing is kept per message beside the lists.  The sortings themselves are held with
the messages (store.held) and kept in step by the resorter.
"""

from __future__ import annotations

import itertools
import json
import operator
import threading

from ..demo_data import Event
from ..store.held import EventList
from . import stored, visibility
from .kinds import for_lists
from .search import Finder, message_key
from .sorting import Profile, Sorting, sort_message
from .view import View, dup_key

CARRY_SCAN = 5000  # new messages looked through for the first message of the last list
_ALL = object()  # a list whose messages are all served is its own visible list


def _carried(old: list, new: list) -> tuple[int, int] | None:
    """(messages in front, messages kept) when `new` is some messages followed by the first `kept`
    messages of `old`; None otherwise."""
    if not old or not new:
        return None
    first = old[0]
    front = next((i for i in range(min(len(new), CARRY_SCAN)) if new[i] is first), None)
    if front is None:
        return None
    kept = len(new) - front
    if kept > len(old) or not all(map(operator.is_, itertools.islice(new, front, None), old)):
        return None
    return front, kept


class Week:
    """Thread-safe; one per core."""

    def __init__(self, sortings_of=None):
        """sortings_of(events, key, profile): the sortings of held messages for a profile (the
        resorter's); None: every list is sorted afresh."""
        self._lock = threading.RLock()
        self._viewing = threading.RLock()  # one view at a time: a second asker then finds it kept
        self._finding = threading.Lock()  # one search index at a time, without holding up the views
        self._sortings_of = sortings_of
        self._last: dict[str, tuple] = {}  # what -> (name, messages, values) of the last list derived

    def _derived(self, events: list[Event], what: str, name, compute) -> list:
        """compute(event) for each message, kept on the list and carried over from the last list
        derived with the same name."""
        memo = getattr(events, "memo", None)
        if memo is None:
            return [compute(e) for e in events]
        with self._lock:
            found = memo.get((what, name))
            if found is None:
                last = self._last.get(what)
                carry = _carried(last[1], events) if last is not None and last[0] == name else None
                if carry is None:
                    found = [compute(e) for e in events]
                else:
                    front, kept = carry
                    found = [compute(e) for e in itertools.islice(events, front)] + last[2][:kept]
                memo[(what, name)] = found
                self._last[what] = (name, list(events), found)
            return found

    def visible(self, source, held: EventList, config: dict) -> EventList:
        """The messages of `held` (newest first) that the configuration serves, with their held
        sortings.  `source` names where they come from (the demo or a generation of the file)."""
        name = (source, visibility.key(config))
        with self._lock:
            found = held.memo.get(("visible", name))
            if found is None:
                flags = self._derived(held, "served", name, lambda e: visibility.served(e, config))
                found = held.memo[("visible", name)] = _ALL if all(flags) else held.subset(flags)
            return held if found is _ALL else found

    def sortings(self, events: list[Event], config: dict) -> list[Sorting]:
        """Each message's sorting for the profile of `config`."""
        profile = Profile.from_config(config)
        key = stored.key_of(profile)
        memo = getattr(events, "memo", None)
        with self._lock:
            found = memo.get(("sortings", key)) if memo is not None else None
            if found is None:
                if getattr(events, "sorted_for", None) is not None and self._sortings_of is not None:
                    found = self._sortings_of(events, key, profile)
                else:
                    found = [sort_message(e, profile) for e in events]
                if memo is not None:
                    memo[("sortings", key)] = found
            return found

    def view(self, events: list[Event], config: dict, completed_keys=frozenset(), completed_texts=frozenset()) -> View:
        """The view of the messages under `config` (the one the sorting reads) and the completed
        to-dos; kept on the list."""
        memo = getattr(events, "memo", None)
        if memo is None:
            return self._view(events, config, completed_keys, completed_texts)
        key = ("view", json.dumps(config, sort_keys=True, ensure_ascii=False))
        with self._viewing:
            found = memo.get(key)
            if found is None:
                found = memo[key] = self._view(events, config, completed_keys, completed_texts)
            return found

    def _view(self, events, config, completed_keys, completed_texts) -> View:
        sortings = [for_lists(s) for s in self.sortings(events, config)]
        words = visibility.exclusion_words(config)
        worded = self._derived(events, "worded", words, lambda e: visibility.has_word(e, words))
        excluded = [w and not visibility.addressed(e, s) for e, s, w in zip(events, sortings, worded)]
        keys = self._derived(events, "keys", None, dup_key)
        return View(events, sortings, excluded, keys, config, completed_keys, completed_texts)

    def finder(self, events: list[Event]) -> Finder:
        """The search over the messages; the keys of the messages it shares with the last list's
        search are taken from there."""
        memo = getattr(events, "memo", None)
        if memo is None:
            return Finder(events, [message_key(e) for e in events])
        with self._finding:
            found = memo.get("finder")
            if found is None:
                last = self._last.get("finder")
                carry = _carried(last[1], events) if last is not None else None
                if carry is None:
                    keys = [message_key(e) for e in events]
                else:
                    front, kept = carry
                    keys = [message_key(e) for e in itertools.islice(events, front)] + last[2].keys()[:kept]
                found = memo["finder"] = Finder(events, keys)
                self._last["finder"] = (None, list(events), found)
            return found
