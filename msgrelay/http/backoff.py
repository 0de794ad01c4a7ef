"""Slows down guessing of the remote access token, per client and for all clients together.

A client is a key: a LAN address, or another account of this machine with all its loopback
addresses (see peers.Peer).  After `failures` wrong tokens within `window` seconds a key is
paused: every request of it that needs the token is answered 429 without looking at the token.
The first pause lasts `first_pause` seconds and each further one twice the one before, up to
`longest_pause`; a right token after the pause is accepted and forgets the key's record, and so
does a quiet spell as long as the longest pause.  Whatever mix of keys guesses, `all_failures`
wrong tokens within the window pause every key the same way, so that many addresses together
cannot try more than that.  The clock is injectable (monotonic seconds).
"""

from __future__ import annotations

import collections
import dataclasses
import threading
import time


@dataclasses.dataclass
class _Record:
    failures: collections.deque
    pause_until: float = 0.0
    next_pause: float = 0.0
    last: float = 0.0


@dataclasses.dataclass(frozen=True)
class Failure:
    count: int  # the key's wrong tokens within the window
    pause: float  # the pause of the key this failure started, 0 when none
    all_count: int  # wrong tokens of all keys within the window
    all_pause: float  # the pause of every key this failure started, 0 when none


class TokenBackoff:
    def __init__(self, clock=time.monotonic, failures: int = 5, window: float = 60.0, first_pause: float = 60.0,
                 longest_pause: float = 900.0, max_addresses: int = 4096, all_failures: int = 30):
        self._clock = clock
        self._failures = failures
        self._all_failures = all_failures
        self._window = window
        self._first_pause = first_pause
        self._longest_pause = longest_pause
        self._max = max_addresses
        self._lock = threading.Lock()
        self._records: dict[str, _Record] = {}
        self._all = _Record(collections.deque(), next_pause=first_pause)

    def _stale(self, record: _Record, now: float) -> bool:
        return now >= record.pause_until + self._longest_pause and now >= record.last + self._window

    def paused(self, key: str) -> float:
        """Seconds left of the key's pause (or of the pause of all), 0 when it may present a token."""
        with self._lock:
            now = self._clock()
            left = max(0.0, self._all.pause_until - now)
            record = self._records.get(key)
            if record is None:
                return left
            if self._stale(record, now):
                del self._records[key]
                return left
            return max(left, record.pause_until - now)

    def _count(self, record: _Record, now: float, limit: int) -> tuple[int, float]:
        record.last = now
        while record.failures and record.failures[0] <= now - self._window:
            record.failures.popleft()
        record.failures.append(now)
        count, pause = len(record.failures), 0.0
        if count >= limit:
            pause = record.next_pause
            record.pause_until = now + pause
            record.next_pause = min(pause * 2, self._longest_pause)
            record.failures.clear()
        return count, pause

    def failed(self, key: str) -> Failure:
        """Counts a wrong token of the key."""
        with self._lock:
            now = self._clock()
            record = self._records.pop(key, None)
            if record is None or self._stale(record, now):
                record = _Record(collections.deque(), next_pause=self._first_pause)
            self._records[key] = record  # most recently active last
            if self._stale(self._all, now):
                self._all = _Record(collections.deque(), next_pause=self._first_pause)
            count, pause = self._count(record, now, self._failures)
            all_count, all_pause = self._count(self._all, now, self._all_failures)
            self._forget_oldest()
            return Failure(count, pause, all_count, all_pause)

    def succeeded(self, key: str) -> None:
        with self._lock:
            self._records.pop(key, None)

    def _forget_oldest(self) -> None:
        while len(self._records) > self._max:
            del self._records[next(iter(self._records))]
