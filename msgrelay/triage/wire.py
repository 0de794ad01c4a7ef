"""A message as the core serves it (/api/events, /api/search, the agent address, the MCP tools): the
message and its sorting."""

from __future__ import annotations

import datetime as dt

from ..demo_data import Event
from .kinds import for_lists
from .sorting import Sorting


def sorting_to_wire(sorting: Sorting, done: bool, excluded: bool, at: dt.datetime) -> dict:
    """The sorting of a message sent at `at`; `due` (when the sorting read one) in that message's
    time zone, to the second."""
    s = for_lists(sorting)
    doc = {"todo": bool(s.todo), "follow_up": bool(s.follow_up), "meeting": bool(s.meeting),
           "important": bool(s.important), "suspicious": bool(s.suspicious), "mine": bool(s.mine),
           "excluded": bool(excluded), "done": bool(done)}
    if s.due is not None:
        doc["due"] = dt.datetime.fromtimestamp(s.due, at.tzinfo or at.astimezone().tzinfo).isoformat(timespec="seconds")
    return doc


def item(event: Event, sorting: Sorting, done: bool, excluded: bool) -> dict:
    doc = event.to_wire()
    doc["sorting"] = sorting_to_wire(sorting, done, excluded, event.at)
    return doc
