"""The digest of the recent messages: to-dos, follow-ups, meetings, notices, highlights, rankings."""

from __future__ import annotations

import collections

from . import classify
from ..demo_data import Event
from .sorting import Profile, Sorting, sort_message

LIMITS = {"action_items": 12, "follow_ups": 8, "meeting_items": 8, "my_related_items": 8,
          "notice_items": 8, "highlights": 8}
TOP_N = 6


def user_names(config: dict) -> list[str]:
    return list(Profile.from_config(config).names)


def event_key(event: Event) -> str:
    """Identity of a message for duplicates and completed to-dos; digits do not count."""
    return "|".join((event.chat_target, event.session_name, event.sender_name,
                     classify.content_key(event.display_text)))


def item_line(event: Event) -> str:
    text = event.display_text.replace("\n", " ").strip()
    return f"{event.label}｜{event.session_name}｜{event.sender_name} ({event.iso_time})：{text}"


def first_of_each(keys: list[str], indexes=None) -> list[int]:
    """The positions (among `indexes` when given, in their order) whose key no earlier one had: the
    first message of each set of duplicates."""
    seen, kept = set(), []
    for index in range(len(keys)) if indexes is None else indexes:
        if keys[index] not in seen:
            seen.add(keys[index])
            kept.append(index)
    return kept


def deduplicated(events: list[Event]) -> list[Event]:
    return [events[i] for i in first_of_each([event_key(e) for e in events])]


def pressing_first(items: list[tuple[Event, Sorting]], stakes_first: bool = False) -> list[Event]:
    """The messages (given newest first), most pressing first: what is asked for now or is an
    emergency (urgent), what is at stake first, then the newest; then the requests to the user by
    deadline, the earliest first, then what a boss or a customer asks or a work keyword marks, then
    the newest; a broadcast's chore after them.
    stakes_first (the important messages): what is at stake (an escalation, an
    outage, a family emergency, a decision about the user's work), the newest first, before routine
    matters in the order above."""

    def rank(item: tuple[Event, Sorting]):
        s = item[1]
        if stakes_first and s.stakes:
            return (0,)
        tier = int(stakes_first)
        if s.urgent:
            return tier, 0, not s.stakes, 0.0, False
        dated = s.due is not None
        return tier, 1 + s.everyone, not dated, s.due if dated else 0.0, not (s.senior or s.watched)

    return [e for e, _ in sorted(items, key=rank)]  # a stable sort: the newest first among equals


def _named_counts(counter: collections.Counter) -> list[list]:
    return [[name, count] for name, count in counter.most_common(TOP_N)]


def highlight(event: Event) -> dict:
    return {
        "chat_target": event.chat_target,
        "chat_target_label": event.label,
        "session_name": event.session_name,
        "sender_name": event.sender_name,
        "sent_at": event.sent_at,
        "content": event.display_text,
        "topics": classify.topics_of(event.display_text),
    }


class Digest:
    """Assembles the digest from the messages (newest first) and their sortings; `summary()` gives the
    wire form.  `sortings` and `keys` (one per message, in the same order) save sorting the messages
    and working out their duplicate keys again.
    To-dos, follow-ups and important messages come most pressing first (`pressing_first`), so the
    capped lists keep what is urgent, at stake or due soonest; scams are in no list."""

    def __init__(self, events: list[Event], config: dict, completed_keys=frozenset(), completed_texts=frozenset(),
                 sortings: list[Sorting] | None = None, keys: list[str] | None = None):
        self.events = events
        profile = Profile.from_config(config)
        self.names = list(profile.names)
        if sortings is None:
            sortings = [sort_message(e, profile) for e in events]
        self.sortings = sortings
        if keys is None:
            keys = [event_key(e) for e in events]
        kept = first_of_each(keys)
        unique = [(events[i], sortings[i]) for i in kept]
        key_of = {events[i].id: keys[i] for i in kept}

        def open_item(event: Event) -> bool:
            return key_of[event.id] not in completed_keys and item_line(event) not in completed_texts

        self.todos = pressing_first([(e, s) for e, s in unique if s.todo and open_item(e)])
        self.follow_ups = pressing_first([(e, s) for e, s in unique if s.follow_up and open_item(e)])
        self.meetings = [e for e, s in unique if s.meeting]
        self.mine = [e for e, s in unique if s.mine]
        self.notices = [e for e, s in unique if s.notice and not s.suspicious]
        # a finished to-do stays important only for another reason
        self.important = pressing_first([(e, s) for e, s in unique
                                         if s.important and (not s.todo or s.mine or s.meeting or open_item(e))],
                                        stakes_first=True)

    def open_items(self) -> dict[str, Event]:
        """Every to-do line the state lists (action items and follow-ups) with its message."""
        items = {}
        for event in self.todos[:LIMITS["action_items"]] + self.follow_ups[:LIMITS["follow_ups"]]:
            items.setdefault(item_line(event), event)
        return items

    def _highlights(self) -> list[Event]:
        return self.important[:LIMITS["highlights"]]

    def summary(self) -> dict:
        topics = collections.Counter(t for s in self.sortings for t in s.topics)
        return {
            "total_messages": len(self.events),
            "top_sessions": _named_counts(collections.Counter(e.session_name for e in self.events)),
            "top_senders": _named_counts(collections.Counter(e.sender_name for e in self.events)),
            "top_sources": _named_counts(collections.Counter(e.label for e in self.events)),
            "top_topics": _named_counts(topics),
            "highlights": [highlight(e) for e in self._highlights()],
            "follow_ups": [item_line(e) for e in self.follow_ups[:LIMITS["follow_ups"]]],
            "action_items": [item_line(e) for e in self.todos[:LIMITS["action_items"]]],
            "meeting_items": [item_line(e) for e in self.meetings[:LIMITS["meeting_items"]]],
            "my_related_items": [item_line(e) for e in self.mine[:LIMITS["my_related_items"]]],
            "notice_items": [item_line(e) for e in self.notices[:LIMITS["notice_items"]]],
        }
