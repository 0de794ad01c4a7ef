"""razo's search rule in the core: the same query finds the same messages here and in razo's list.

razo compares texts by a search key: runs of combining marks cut to their first 30, compatibility
normalisation (NFKC), then Qt's case folding, which is simple folding, one character to one (so
"ß" stays "ß", "İ" stays "İ", where Python's casefold makes "ss" and "i̇").  The query is cut into
words at white space (Qt's notion of it); a message matches when every word's key is contained in
the key of its chat name, its sender name or its text (each word in any of the three).

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


def query_key(query: str) -> tuple[str, ...]:
    """The keys razo searches for: one per word of the query (cut at white space), empty for a blank one."""
    words, start = [], None
    for at, char in enumerate(query + " "):
        if _qt_space(char):
            if start is not None:
                words.append(query[start:at])
                start = None
        elif start is None:
            start = at
    return tuple(key for key in (search_key(word) for word in words) if key)


def message_key(event) -> str:
    """The keys of chat, sender and text of one message, between field separators."""
    return _SEP_FIELD.join((search_key(event.session_name or ""), search_key(event.sender_name or ""),
                            search_key(event.display_text)))


def matches(event, keys: tuple[str, ...]) -> bool:
    """razo's rule for one message: each of `keys` (a query_key) in the chat's, sender's or text's key."""
    fields = [search_key(field) for field in (event.session_name, event.sender_name, event.display_text) if field]
    return all(any(key in field for field in fields) for key in keys)


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

    def find(self, keys: tuple[str, ...], limit: int) -> list:
        """The messages whose keys contain every one of `keys`, newest first, at most `limit`."""
        if not keys:
            return list(self._events[:limit])
        if any(_SEP_FIELD in key or _SEP_MESSAGE in key for key in keys):  # could span two fields: ask each message
            return [e for e in self._events if matches(e, keys)][:limit]
        lead = max(keys, key=len)  # the longest word is likely the rarest: walk its matches
        others = list(keys)
        others.remove(lead)
        found, end = [], len(self._text)
        count = len(self._events)
        while len(found) < limit:
            at = self._text.rfind(lead, 0, end)
            if at < 0:
                break
            index = bisect.bisect_right(self._starts, at) - 1  # the message, counted oldest first
            start = self._starts[index]
            message = self._text[start:self._starts[index + 1] - 1] if index + 1 < count else self._text[start:]
            if all(key in message for key in others):  # no key holds a separator, so none spans two fields
                found.append(self._events[count - 1 - index])
            end = start  # the next match lies in an older message
        return found
