"""Slows down guessing of the remote access token, per client address.

After `failures` wrong tokens within `window` seconds an address is paused: every request of it
that needs the token is answered 429 without looking at the token.  The first pause lasts
`first_pause` seconds and each further one twice the one before, up to `longest_pause`; a right
token after the pause is accepted and forgets the address's record, and so does a quiet spell
as long as the longest pause.  The clock is injectable (monotonic seconds).
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


class TokenBackoff:
    def __init__(self, clock=time.monotonic, failures: int = 5, window: float = 60.0, first_pause: float = 60.0,
                 longest_pause: float = 900.0, max_addresses: int = 4096):
        self._clock = clock
        self._failures = failures
        self._window = window
        self._first_pause = first_pause
        self._longest_pause = longest_pause
        self._max = max_addresses
        self._lock = threading.Lock()
        self._records: dict[str, _Record] = {}

    def _stale(self, record: _Record, now: float) -> bool:
        return now >= record.pause_until + self._longest_pause and now >= record.last + self._window

    def paused(self, address: str) -> float:
        """Seconds left of the address's pause, 0 when it may present a token."""
        with self._lock:
            record = self._records.get(address)
            if record is None:
                return 0.0
            now = self._clock()
            if self._stale(record, now):
                del self._records[address]
                return 0.0
            return max(0.0, record.pause_until - now)

    def failed(self, address: str) -> tuple[int, float]:
        """Counts a wrong token: (wrong tokens in the window, length of the pause it started or 0)."""
        with self._lock:
            now = self._clock()
            record = self._records.pop(address, None)
            if record is None or self._stale(record, now):
                record = _Record(collections.deque(), next_pause=self._first_pause)
            self._records[address] = record  # most recently active last
            record.last = now
            while record.failures and record.failures[0] <= now - self._window:
                record.failures.popleft()
            record.failures.append(now)
            count, pause = len(record.failures), 0.0
            if count >= self._failures:
                pause = record.next_pause
                record.pause_until = now + pause
                record.next_pause = min(pause * 2, self._longest_pause)
                record.failures.clear()
            self._forget_oldest()
            return count, pause

    def succeeded(self, address: str) -> None:
        with self._lock:
            self._records.pop(address, None)

    def _forget_oldest(self) -> None:
        while len(self._records) > self._max:
            del self._records[next(iter(self._records))]
