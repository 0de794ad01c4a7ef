"""What one message means for the user, decided from the message alone.

`sort_message` looks at one message and the user's profile and nothing else: no other message, no
clock, no completed to-dos.  So a message is sorted once (when it is stored, or when the profile
changes) and the digest only assembles lists from the sortings it is given.
"""

from __future__ import annotations

import dataclasses

from . import classify
from ..demo_data import Event


@dataclasses.dataclass(frozen=True)
class Profile:
    """Who the user is, as far as sorting goes: name and aliases, and the keywords that mark work."""

    names: tuple[str, ...] = ()
    keywords: tuple[str, ...] = ()

    @classmethod
    def from_config(cls, config: dict) -> "Profile":
        profile = config.get("user_profile", {})
        raw = [profile.get("display_name", "")] + list(profile.get("aliases", []))
        names: list[str] = []
        for name in (n.strip() for n in raw if isinstance(n, str)):
            if name and name not in names:
                names.append(name)
        keywords = tuple(k for k in config.get("notification_keywords", []) if isinstance(k, str) and k)
        return cls(tuple(names), keywords)


@dataclasses.dataclass(frozen=True)
class Sorting:
    """The lists a message belongs in.  `due` orders to-dos (epoch seconds, None: no deadline seen)."""

    todo: bool = False  # asks something of the user
    follow_up: bool = False  # an open loop of the user's to come back to
    meeting: bool = False
    mine: bool = False  # names the user
    notice: bool = False  # a broadcast or announcement
    important: bool = False
    suspicious: bool = False  # looks like a scam or phishing; never a to-do
    topics: tuple[str, ...] = ()
    due: float | None = None

    @property
    def needs_user(self) -> bool:
        """Worth telling the user unasked: it asks something of them or names them."""
        return (self.todo or self.mine) and not self.suspicious


def is_own(event: Event, profile: Profile) -> bool:
    return event.sender_name.strip() in profile.names


def sort_message(event: Event, profile: Profile) -> Sorting:
    text = event.display_text
    own = is_own(event, profile)
    people = not own and event.session_kind != "official"  # service accounts assign no work
    todo = people and classify.is_todo(text, profile.keywords)
    mine = not own and classify.mentions(text, profile.names)
    meeting = classify.is_meeting(event.session_name + " " + text)
    return Sorting(
        todo=todo,
        follow_up=people and classify.is_follow_up(text),
        meeting=meeting,
        mine=mine,
        notice=classify.is_notice(text),
        important=mine or todo or meeting,
        topics=tuple(classify.topics_of(text)),
    )
