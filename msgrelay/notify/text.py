"""The words of a notification: the chat and sender as its summary, the message as its body."""

from __future__ import annotations

import dataclasses
import html
import re

from ..demo_data import Event

BODY_LIMIT = 120  # characters of the message shown
SUMMARY_LIMIT = 60
_SPACES = re.compile(r"\s+")


@dataclasses.dataclass(frozen=True)
class Note:
    summary: str
    body: str


def _clean(text: str, limit: int) -> str:
    text = _SPACES.sub(" ", text).strip()
    return text if len(text) <= limit else text[: limit - 1].rstrip() + "…"


def compose(event: Event, others: int, markup: bool) -> Note:
    """`others`: earlier messages of the chat this notification also stands for; `markup`: the
    server reads the body as markup, so the message's own angle brackets are escaped."""
    chat = _clean(event.session_name, SUMMARY_LIMIT)
    sender = _clean(event.sender_name, SUMMARY_LIMIT)
    summary = chat if not sender or sender == chat else f"{chat} · {sender}"
    body = _clean(event.display_text, BODY_LIMIT)
    if markup:
        body = html.escape(body, quote=False)
    if others:
        body += f"\n还有 {others} 条"
    return Note(summary, body)
