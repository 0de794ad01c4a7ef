"""Who writes a message and who it is for: the user, a service, a boss; one-to-one, an @, the user's
name opening it or a task named to them, someone else, or everyone."""

from __future__ import annotations

import dataclasses
import re

from . import words
from ..demo_data import Event
from .patterns import alternatives, literal
from .profile import Profile

_ASSIGNED = literal(words.ASSIGNED)
_MENTION = re.compile(r"@([^\s@，,。:：;；!！?？、]+)")
_AUTOMATED = literal(words.AUTOMATED_SENDERS)
_ADVERTISING = literal(words.ADVERTISING)
_SENIOR = re.compile("(?:" + alternatives(words.SENIOR_TITLES) + r")$")
_EVERYONE = literal(words.EVERYONE_WORDS)


def is_own(event: Event, profile: Profile) -> bool:
    return event.sender_name.strip() in profile.names  # not a form: another 李 may be 李总


def is_senior(event: Event) -> bool:
    """A boss or a customer's decision maker writes (李总, 陈经理, VP)."""
    return bool(_SENIOR.search(event.sender_name.strip()))


def is_automated(event: Event) -> bool:
    """A service, bot or system writes, or the message is an advertisement."""
    return event.session_kind == "official" or bool(_AUTOMATED.search(event.sender_name)) \
        or bool(_ADVERTISING.search(event.display_text))


@dataclasses.dataclass
class Address:
    me: bool = False  # one-to-one, @ of the user, opened with the user's name, or a task named to the user
    named: bool = False  # the user's name or a form of it appears
    other: bool = False  # @ of someone else only
    everyone: bool = False
    assigned: bool = False  # the user's name followed by a task: "李明负责灰度方案"


def address_of(event: Event, text: str, profile: Profile, automated: bool) -> tuple[Address, str]:
    """Who the message is for, and its text without the leading @ mentions and salutation."""
    found = Address()
    others = False
    for mention in _MENTION.finditer(text):
        who = mention.group(1)
        if profile.mentioned(who):
            found.me = True
        elif who.startswith(words.EVERYONE_MENTIONS):
            found.everyone = True
        else:
            others = True
    body = _MENTION.sub(lambda m: " " + profile.after_mention(m.group(1)), text).strip()
    opener = profile.find(body)
    if opener and opener.start() == 0:
        rest = body[opener.end():]
        if not rest or rest[0] in words.SALUTATION_ENDS + words.AFTER_MENTION or rest.startswith(words.GREETINGS):
            found.me = True  # "李明，…", "小李 …", "李明你看下…", not "李明辉…"
            body = rest.lstrip(words.SALUTATION_ENDS)
    hit = profile.find(text)
    found.named = hit is not None
    if hit and not found.me and not automated:
        after = text[hit.end():hit.end() + 4]
        if _ASSIGNED.match(after):
            found.me = found.assigned = True  # "纪要：…李明负责灰度方案"
    if event.session_kind == "direct" and not automated:
        found.me = True
    found.other = others and not found.me
    if not found.me and not found.other and _EVERYONE.search(body):
        found.everyone = True
    return found, body


@dataclasses.dataclass
class Reading:
    """What the rules found in one message, on the way to its Sorting."""

    text: str
    profile: Profile
    body: str  # without leading @ mentions and salutation
    address: Address
    own: bool
    automated: bool
    senior: bool
    meeting: bool
    todo: bool = False
    follow_up: bool = False
    question_only: bool = False
