"""Turns a chat client's notification (title and body) into a message: chat, sender, text, kind.

WeChat and WeCom put the chat's name in the title.  In a group the body reads "sender: text" or
"sender：text", sometimes after an unread count such as "[3条]"; in a private chat the body is the
text alone and the title is the contact.
"""

from __future__ import annotations

import dataclasses
import html
import re

MAX_SESSION = 200
MAX_SENDER = 100
MAX_CONTENT = 4000

_COUNT = re.compile(r"^\s*\[\d+条\]\s*")
# A sender is a short name without colons or line breaks, followed by a colon of either width.
_SENDER = re.compile(r"^(?P<sender>[^:：\n]{1,32}?)\s*(?P<colon>[:：])\s*(?P<text>.+)$", re.DOTALL)
_TAGS = re.compile(r"</?(?:b|i|u|a|img|br|span|p)\b[^>]*>", re.IGNORECASE)
_KINDS = {"[图片]": "image", "[语音]": "voice", "[视频]": "video", "[文件]": "file", "[动画表情]": "sticker",
          "[表情]": "sticker", "[链接]": "link", "[位置]": "location"}


@dataclasses.dataclass(frozen=True)
class Parsed:
    session_name: str
    session_kind: str  # "group" (a sender was named) or "direct"
    sender_name: str
    content: str
    content_type: str


def plain(text: str) -> str:
    """Notification bodies may carry the simple markup of the notification protocol."""
    return html.unescape(_TAGS.sub("", text)).strip()


def _looks_like_a_sender(sender: str, text: str) -> bool:
    if text.startswith("//"):  # "https://…"
        return False
    if sender[-1:].isdigit() and text[:1].isdigit():  # a clock time such as 10:30
        return False
    return not sender.isspace()


def parse(title: str, body: str, fallback_session: str) -> Parsed | None:
    """None when the body carries no text (the client's previews are switched off)."""
    session = plain(title or "")[:MAX_SESSION] or fallback_session
    text = _COUNT.sub("", plain(body or ""))
    if not text:
        return None
    sender, kind = session, "direct"
    match = _SENDER.match(text)
    if match and _looks_like_a_sender(match.group("sender"), match.group("text")):
        sender = match.group("sender").strip()[:MAX_SENDER]
        text = match.group("text").strip()
        kind = "group" if sender != session else "direct"
    content_type = next((k for prefix, k in _KINDS.items() if text.startswith(prefix)), "text")
    return Parsed(session, kind, sender, text[:MAX_CONTENT], content_type)
