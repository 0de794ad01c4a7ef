"""Building the sorting rules' patterns from word lists, and cutting a text into clauses."""

from __future__ import annotations

import functools
import re

CL = r"[^，,。；;！!？?\n]"  # a character inside one clause
_CLAUSE = re.compile(r"[^，,。；;！!？?\n]+[，,。；;！!？?\n]*")
_CHINESE_SPACE = re.compile(r"(?<=[\u4e00-\u9fff])\s+(?=[\u4e00-\u9fff])")
_SPECIAL = set("\\()[]{}.^$*+?|")
_PLAIN_HEAD = re.compile(r"\(([^()|?\\]{1,2}[^()|]*(?:\|[^()|?\\]{1,2}[^()|]*)+)\)(?![?*+{])")


def _top_level(fragment: str) -> list[str]:
    """The fragment split at the bars outside any group or class."""
    parts, depth, start, i, in_class = [], 0, 0, 0, False
    while i < len(fragment):
        c = fragment[i]
        if c == "\\":
            i += 1
        elif in_class:
            in_class = c != "]"
        elif c == "[":
            in_class = True
        elif c in "()":
            depth += 1 if c == "(" else -1
        elif c == "|" and depth == 0:
            parts.append(fragment[start:i])
            start = i + 1
        i += 1
    return parts + [fragment[start:]]


def _branches(fragment: str) -> list[str]:
    """Alternatives equal to the fragment, a leading group of plain words spelled out: "(大量|批量)超时"
    gives "大量超时" and "批量超时"."""
    found = []
    for part in _top_level(fragment):
        head = _PLAIN_HEAD.match(part)
        found += [word + part[head.end():] for word in head.group(1).split("|")] if head else [part]
    return found


class Either:
    """Two patterns searched as one: those alternatives that start with a plain character, which the
    engine finds by skipping ahead to those characters, and the rest."""

    def __init__(self, plain: re.Pattern, rest: re.Pattern):
        self.plain, self.rest = plain, rest

    def search(self, text: str, *args):
        return self.plain.search(text, *args) or self.rest.search(text, *args)

    def sub(self, replacement, text: str) -> str:
        return self.rest.sub(replacement, self.plain.sub(replacement, text))


class Guarded:
    """A pattern searched only where a cheap guard finds something: English words in Chinese text."""

    def __init__(self, guard: re.Pattern, pattern: re.Pattern):
        self.guard, self.pattern = guard, pattern

    def search(self, text: str, *args):
        return self.pattern.search(text, *args) if self.guard.search(text, *args) else None


class English:
    """English words, whole, searched in the lower-cased text when it has a Latin letter at all: much
    faster than a case-blind pattern over Chinese text."""

    _LATIN = re.compile("[A-Za-z]")

    def __init__(self, fragments):
        self.pattern = re.compile(r"\b(?:" + "|".join(fragments) + r")\b")

    def search(self, text: str, *args):
        return self.pattern.search(text.lower(), *args) if self._LATIN.search(text, *args) else None


def any_of(fragments) -> re.Pattern | Either:
    """One pattern of the fragments; \\S in a fragment stands for any character of the same clause."""
    branches = [b.replace(r"\S", CL) for f in fragments for b in _branches(f)]
    plain = [b for b in branches if b and b[0] not in _SPECIAL and b[1:2] not in ("?", "*", "+", "{")]
    rest = [f"(?:{b})" for b in branches if b not in plain]
    if not rest or not plain:
        return re.compile("|".join(plain or rest))
    return Either(re.compile("|".join(plain)), re.compile("|".join(rest)))


def alternatives(items) -> str:
    """The words as alternatives of a pattern, longest first."""
    return "|".join(re.escape(w) for w in sorted(items, key=len, reverse=True))


def literal(items) -> re.Pattern:
    return re.compile(alternatives(items))


@functools.lru_cache(maxsize=64)
def clauses(text: str) -> tuple[str, ...]:
    """The clauses of a text, each with the punctuation that ends it; a space between two Chinese
    characters ends one too ("改周日晚上行不 我周六要加班").  The rules ask several times for the same
    text's clauses, so the last ones are kept."""
    if " " in text:
        text = _CHINESE_SPACE.sub(" \n", text)
    return tuple(c for c in _CLAUSE.findall(text) if c.strip()) or (text,)
