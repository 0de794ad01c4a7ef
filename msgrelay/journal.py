"""What the core writes to its log: one line at a time, with nothing in it that a terminal or an
editor would take for a command, and refused requests summarised instead of one line each.

`printable` escapes control characters, format characters (bidirectional overrides, zero-width
marks) and line and paragraph separators, so a request line that carries escape sequences reaches
the log as plain text.  What it writes holds none of them, so applying it again changes nothing:
the door and the log's writer may both apply it.  `RefusalDigest` writes the first refusal of a
kind from one client within `window` seconds and counts the rest; the count is written once the
window has passed (`flush`, called regularly), so a flood of refusals costs one line per client,
kind and window.
"""

from __future__ import annotations

import re
import threading
import time
import unicodedata

_SUSPECT = re.compile(r"[^\x20-\x7e]")  # everything but printable ASCII
_UNSAFE_CATEGORIES = ("Cc", "Cf", "Cn", "Co", "Cs", "Zl", "Zp")
OVERFLOW_KEY = "other clients"


def _escape(match: re.Match) -> str:
    char = match.group()
    if char.isascii() or unicodedata.category(char) in _UNSAFE_CATEGORIES:
        code = ord(char)
        return f"\\x{code:02x}" if code < 0x100 else f"\\u{code:04x}" if code < 0x10000 else f"\\U{code:08x}"
    return char


def printable(text: str, limit: int | None = None) -> str:
    """The text with every character that is not plain to read escaped; at most `limit`
    characters of it (then ending in "…")."""
    if limit is not None and len(text) > limit:
        text = text[:limit]
        return _SUSPECT.sub(_escape, text) + "…"
    return _SUSPECT.sub(_escape, text)


class RefusalDigest:
    """Thread-safe.  `log` gets whole lines; `clock` is monotonic seconds (injectable)."""

    def __init__(self, log, clock=time.monotonic, window: float = 60.0, max_clients: int = 256):
        self._log = log
        self._clock = clock
        self._window = window
        self._max = max_clients
        self._lock = threading.Lock()
        self._open: dict[tuple[str, str], list] = {}  # (client, kind) -> [window start, refusals not written]

    def refused(self, client: str, kind: str, line: str) -> None:
        """One refusal of `kind` from `client`; `line` is written when it is the first of the window."""
        with self._lock:
            now = self._clock()
            self._close_windows(now)
            entry = self._open.get((client, kind))
            if entry is None and len(self._open) >= self._max:
                client = OVERFLOW_KEY
                entry = self._open.get((client, kind))
            if entry is None:
                self._open[(client, kind)] = [now, 0]
                self._log(line)
            else:
                entry[1] += 1

    def flush(self) -> None:
        """Writes the count of every window that has passed."""
        with self._lock:
            self._close_windows(self._clock())

    def _close_windows(self, now: float) -> None:
        for (client, kind), (start, count) in list(self._open.items()):
            if now - start >= self._window:
                del self._open[(client, kind)]
                if count:
                    self._log(f"msgrelay: {count} more refusals ({kind}) from {client} "
                              f"within {self._window:.0f} s")
