"""Whether a newly stored message deserves a desktop notification.

It does when the user has not switched notifications off, the settings let the message through
(the same rule as the messages the core serves), it is fresh (a core that starts late does not
replay the morning) and the sorting says it needs the user: it asks something of them or names
them, and it does not look like a scam.
"""

from __future__ import annotations

import datetime as dt

from ..demo_data import Event
from ..triage import visibility
from ..triage.sorting import Profile, sort_message

SWITCH = "notify_todos_and_mentions"  # configuration key; a missing key reads as on
MAX_AGE = dt.timedelta(minutes=5)


def switched_on(config: dict) -> bool:
    return config.get(SWITCH, True) is not False


def worth_telling(event: Event, config: dict, now: dt.datetime, max_age: dt.timedelta = MAX_AGE) -> bool:
    if not switched_on(config) or not visibility.shown(event, config):
        return False
    if now - event.at > max_age:
        return False
    return sort_message(event, Profile.from_config(config)).needs_user
