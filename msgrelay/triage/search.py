"""razo's search rule in the core: the same query finds the same messages here and in razo's list.

razo compares texts by a search key: runs of combining marks cut to their first 30, compatibility
normalisation (NFKC), then Qt's case folding, which is simple folding, one character to one (so
"ß" stays "ß", "İ" stays "İ", where Python's casefold makes "ss" and "i̇").  A message matches when
the key of its chat name, its sender name or its text contains the key of the query, which razo
trims of white space first (Qt's notion of it).

`Finder` answers many queries over one list of messages: the keys of all messages are joined into
one text, searched from its end (newest first) with the string search of the language itself.
"""

from __future__ import annotations

import array
import bisect
import functools
import re
import unicodedata

MAX_MARKS_IN_ROW = 30
_SEP_FIELD = "\x1f"  # between the keys of one message
_SEP_MESSAGE = "\x1e"  # between messages


@functools.cache
def _expanding():
    """Characters whose full case folding is longer than one character: simple folding applies."""
    return re.compile("[" + "".join(re.escape(chr(c)) for c in range(0x110000)
                                    if not 0xD800 <= c <= 0xDFFF and len(chr(c).casefold()) > 1) + "]")


@functools.cache
def _long_mark_run():
    marks = [chr(c) for c in (*range(0x300, 0x20000), *range(0xE0100, 0xE01F0))
             if unicodedata.category(chr(c)) in ("Mn", "Mc", "Me")]
    return re.compile("[" + "".join(re.escape(m) for m in marks) + "]{%d,}" % (MAX_MARKS_IN_ROW + 1))


def _simple_fold(char: str) -> str:
    full = char.casefold()
    if len(full) == 1:
        return full
    lower = char.lower()
    if len(lower) == 1 and lower != char and lower.casefold() == full:
        return lower  # the simple folding of a capital that folds like its small letter (ẞ → ß)
    return char


def search_key(text: str) -> str:
    if len(text) > MAX_MARKS_IN_ROW:
        text = _long_mark_run().sub(lambda m: m.group()[:MAX_MARKS_IN_ROW], text)
    text = unicodedata.normalize("NFKC", text)
    if _expanding().search(text) is None:
        return text.casefold()
    return "".join(_simple_fold(c) for c in text)


def _qt_space(char: str) -> bool:
    code = ord(char)
    return code == 0x20 or 0x09 <= code <= 0x0D or code in (0x85, 0xA0) or \
        (code > 127 and unicodedata.category(char) in ("Zs", "Zl", "Zp"))


def query_key(query: str) -> str:
    """The key razo searches for: the query trimmed of white space, then keyed."""
    start, end = 0, len(query)
    while start < end and _qt_space(query[start]):
        start += 1
    while end > start and _qt_space(query[end - 1]):
        end -= 1
    return search_key(query[start:end])


def message_key(event) -> str:
    """The keys of chat, sender and text of one message, between field separators."""
    return _SEP_FIELD.join((search_key(event.session_name or ""), search_key(event.sender_name or ""),
                            search_key(event.display_text)))


def matches(event, key: str) -> bool:
    """razo's rule for one message: `key` (a query_key) in the chat's, sender's or text's key."""
    if not key:
        return True
    return any(key in search_key(field) for field in (event.session_name, event.sender_name, event.display_text)
               if field)


class Finder:
    """Searches one list of messages (newest first); `keys` holds message_key of each, in order."""

    def __init__(self, events: list, keys: list[str]):
        self._events = events
        self._text = _SEP_MESSAGE.join(reversed(keys))  # oldest first, so that rfind walks newest first
        self._starts = array.array("q")  # where each message's keys begin: plain numbers, not an object each
        offset = 0
        for key in reversed(keys):
            self._starts.append(offset)
            offset += len(key) + 1

    def keys(self) -> list[str]:
        """The keys it was made with, newest first (the next list's search takes them over)."""
        text, starts = self._text, self._starts
        ends = list(starts[1:]) + [len(text) + 1]
        return [text[start:end - 1] for start, end in zip(reversed(starts), reversed(ends))]

    def find(self, key: str, limit: int) -> list:
        """The messages whose keys contain `key`, newest first, at most `limit`."""
        if not key:
            return list(self._events[:limit])
        if _SEP_FIELD in key or _SEP_MESSAGE in key:  # could span two fields: ask each message
            return [e for e in self._events if matches(e, key)][:limit]
        found, end = [], len(self._text)
        count = len(self._events)
        while len(found) < limit:
            at = self._text.rfind(key, 0, end)
            if at < 0:
                break
            index = bisect.bisect_right(self._starts, at) - 1  # the message, counted oldest first
            found.append(self._events[count - 1 - index])
            end = self._starts[index]  # the next match lies in an older message
        return found
