"""Which messages the user's settings let through.

A message is served when its client is switched on and its chat is on the client's allowlist (when
the client reads only allowlisted chats); otherwise it is never shown.  A served message is excluded
when one of the user's exclusion words is in it and it is not addressed to the user (one-to-one, or
naming or @-mentioning the user): it stays in the plain list and in search, marked, and is kept out
of the digest, the kind lists, the counts and the notifications.

The one rule behind both the messages the core serves and the ones it tells the user about.
"""

from __future__ import annotations

import json

from ..demo_data import Event
from .sorting import Profile, Sorting, sort_message


def allowlisted(client: dict, session: str) -> bool:
    """The client's settings let the chat through: it reads every chat, or the chat is on its
    allowlist and not switched off there.  The capture stores only these."""
    if client.get("rule_mode") != "allowlist":
        return True
    return any(e.get("name") == session and e.get("enabled", True) is not False for e in client.get("allowlist", []))


def served(event: Event, config: dict) -> bool:
    client = config.get(event.chat_target, {})
    return bool(client.get("enabled", False)) and allowlisted(client, event.session_name)


def exclusion_words(config: dict) -> tuple[str, ...]:
    return tuple(word.casefold() for word in config.get("notification_exclude_keywords", []) if word)


def addressed(event: Event, sorting: Sorting) -> bool:
    """One-to-one, or it names or @-mentions the user."""
    return event.session_kind == "direct" or sorting.mine


def has_word(event: Event, words: tuple[str, ...]) -> bool:
    if not words:
        return False
    text = event.display_text.casefold()
    return any(word in text for word in words)


def excluded(event: Event, words: tuple[str, ...], sorting: Sorting) -> bool:
    return has_word(event, words) and not addressed(event, sorting)


def shown(event: Event, config: dict, sorting: Sorting | None = None) -> bool:
    """Served and not excluded; the sorting (for the configured profile) is made when needed."""
    if not served(event, config):
        return False
    words = exclusion_words(config)
    if not has_word(event, words):
        return True
    return not excluded(event, words, sorting or sort_message(event, Profile.from_config(config)))


def key(config: dict) -> str:
    """The parts of the configuration that decide which messages are served."""
    clients = {}
    for target in ("wechat", "wecom"):
        client = config.get(target, {})
        names = sorted({e.get("name") for e in client.get("allowlist", []) if e.get("enabled", True) is not False},
                       key=str)
        clients[target] = [bool(client.get("enabled", False)), client.get("rule_mode") == "allowlist", names]
    return json.dumps(clients, ensure_ascii=False)
