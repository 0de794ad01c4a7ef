"""Small text helpers shared by the digest and the rule answers: identity keys, mentions, topics."""

from __future__ import annotations

import functools
import re

from .profile import name_pattern
from .words import TOPIC_WORDS

_DIGITS = re.compile(r"\d+")
_SPACES = re.compile(r"\s+")
_TOPICS = {topic: re.compile("|".join(map(re.escape, words))) for topic, words in TOPIC_WORDS.items()}


def contains_any(text: str, words, ignore_case: bool = False) -> bool:
    if ignore_case:
        folded = text.casefold()
        return any(w and w.casefold() in folded for w in words)
    return any(w and w in text for w in words)


def content_key(text: str) -> str:
    """Two texts that differ only in digits or white space share this key."""
    return _SPACES.sub("", _DIGITS.sub("#", text))


def mentions(text: str, names) -> bool:
    """Whether the text names the user (any alias, case-insensitive, as a whole name: not 李明 in 李明辉)
    or says @我."""
    pattern = _names(tuple(names))
    return "@我" in text or bool(pattern and pattern.search(text))


@functools.lru_cache(maxsize=8)
def _names(names: tuple[str, ...]):
    return name_pattern(n for n in names if n)


def topics_of(text: str) -> list[str]:
    return [topic for topic, pattern in _TOPICS.items() if pattern.search(text)]
