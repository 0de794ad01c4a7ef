"""The kind lists: every message of one kind (to-do, follow-up, important, meeting) in the order of
the overview's lists, beginning with the overview's own card, and the counts the overview shows.

A suspicious message is of no kind: `for_lists` is how every list reads a sorting.
"""

from __future__ import annotations

import dataclasses
import functools

from ..demo_data import Event
from .digest import LIMITS, Digest
from .sorting import Sorting

KINDS = ("todo", "follow_up", "important", "meeting")
CARDS = {"todo": "action_items", "follow_up": "follow_ups", "important": "highlights", "meeting": "meeting_items"}
KIND_ERROR = "kind 必须是 todo、follow_up、important 或 meeting"
NEEDING = ("todo", "follow_up", "important")  # with the messages naming the user: what needs the user


@functools.lru_cache(maxsize=4096)
def _calmed(sorting: Sorting) -> Sorting:
    return dataclasses.replace(sorting, todo=False, follow_up=False, meeting=False, important=False, mine=False,
                               due=None)


def for_lists(sorting: Sorting) -> Sorting:
    """The sorting as every list reads it: a suspicious message asks nothing of the user (and so has
    no deadline), is no meeting, is not important and not the user's, whatever else the rules saw."""
    return _calmed(sorting) if sorting.suspicious else sorting


def rule_cards(digest: Digest) -> dict[str, list[Event]]:
    """The messages of the overview's cards as the rules fill them."""
    return {"todo": digest.todos[:LIMITS["action_items"]], "follow_up": digest.follow_ups[:LIMITS["follow_ups"]],
            "important": digest.important[:LIMITS["highlights"]], "meeting": digest.meetings[:LIMITS["meeting_items"]]}


def kind_lists(digest: Digest, cards: dict[str, list[Event]], done, key) -> dict[str, list[Event]]:
    """Each kind's messages: its card first (as served, also when an AI provider picked it), then
    the rest of the kind in the digest's order (to-dos, follow-ups and important messages most
    pressing first, meetings newest first), each message once and none that is done.  The digest
    holds no suspicious or excluded message.  done(event) and key(event) (the duplicate key) are
    asked only of the messages that need it."""
    rest = {"todo": digest.todos, "follow_up": digest.follow_ups,
            "important": [e for e in digest.important if not done(e)], "meeting": digest.meetings}
    lists = {}
    for kind in KINDS:
        head = list(cards.get(kind, ()))
        listed = {id(e) for e in head}
        tail = [e for e in rest[kind] if id(e) not in listed]
        known = {id(e) for e in rest[kind]}
        strangers = {key(e) for e in head if id(e) not in known}  # picked by the provider, not by the rules
        if strangers:
            tail = [e for e in tail if key(e) not in strangers]
        lists[kind] = head + tail
    return lists


def counts(lists: dict[str, list[Event]], digest: Digest, done, key) -> dict[str, int]:
    """How many messages each kind list holds, and how many need the user: a to-do, a follow-up, an
    important message or one naming the user, each once, none done."""
    found = {kind: len(lists[kind]) for kind in KINDS}
    needing = {id(e): e for kind in NEEDING for e in lists[kind]}
    needing.update((id(e), e) for e in digest.mine if id(e) not in needing and not done(e))
    rule = {id(e) for e in digest.todos + digest.follow_ups + digest.important + digest.mine}
    if all(number in rule for number in needing):  # the digest's messages are one per duplicate key
        found["needs_you"] = len(needing)
    else:
        found["needs_you"] = len({key(e) for e in needing.values()})
    return found
