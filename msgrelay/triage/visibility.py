"""Which messages the user's settings let through: the client is switched on, the chat is on its
allowlist when the client reads only allowlisted chats, and no exclusion word is in the text.

The one rule behind both the messages the core serves and the ones it tells the user about.
"""

from __future__ import annotations

import json

from ..demo_data import Event


def allowlisted(client: dict, session: str) -> bool:
    """The client's settings let the chat through: it reads every chat, or the chat is on its
    allowlist and not switched off there.  The capture stores only these."""
    if client.get("rule_mode") != "allowlist":
        return True
    return any(e.get("name") == session and e.get("enabled", True) is not False for e in client.get("allowlist", []))


def shown(event: Event, config: dict) -> bool:
    client = config.get(event.chat_target, {})
    if not client.get("enabled", False) or not allowlisted(client, event.session_name):
        return False
    text = event.display_text.casefold()
    return not any(word.casefold() in text for word in config.get("notification_exclude_keywords", []) if word)


def key(config: dict) -> str:
    """The parts of the configuration that decide which messages are shown."""
    clients = {}
    for target in ("wechat", "wecom"):
        client = config.get(target, {})
        names = sorted({e.get("name") for e in client.get("allowlist", []) if e.get("enabled", True) is not False},
                       key=str)
        clients[target] = [bool(client.get("enabled", False)), client.get("rule_mode") == "allowlist", names]
    exclude = [w.casefold() for w in config.get("notification_exclude_keywords", []) if w]
    return json.dumps([clients, exclude], ensure_ascii=False)
