"""Whether a newly stored message deserves a desktop notification.

It does when the user has not switched notifications off, the settings let the message through
(the same rule as the messages the core serves), it is fresh (a core that starts late does not
replay the morning) and the sorting says it needs the user (`needs_user`).
"""

from __future__ import annotations

import datetime as dt

from ..demo_data import Event
from ..triage import visibility
from ..triage.sorting import Profile, Sorting, sort_message

SWITCH = "notify_todos_and_mentions"  # configuration key; a missing key reads as on
MAX_AGE = dt.timedelta(minutes=5)


def switched_on(config: dict) -> bool:
    return config.get(SWITCH, True) is not False


def worth_telling(event: Event, config: dict, now: dt.datetime, max_age: dt.timedelta = MAX_AGE) -> bool:
    if not switched_on(config) or not visibility.shown(event, config):
        return False
    if now - event.at > max_age:
        return False
    return needs_user(sort_message(event, Profile.from_config(config)))


def needs_user(sorting: Sorting) -> bool:
    """Worth telling the user unasked: it is urgent or an emergency, asks something of them (not a
    chore of everyone's), or names them (as a whole name: 李明辉 is someone else) other than to
    promise them something (a follow-up can wait); never a scam."""
    if sorting.suspicious:
        return False
    return sorting.urgent or (sorting.todo and not sorting.everyone) or (sorting.mine and not sorting.follow_up)
