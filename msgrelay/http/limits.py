"""How much of the core other clients may hold: connections and the time a request may take.

The user's own connections are never counted.  Everyone else (the LAN, other accounts) shares a
bounded number of connections, and one LAN address, or one other account of this machine with
all its loopback addresses, gets only a few of them, so that idle or trickling clients cannot use
up the threads and file descriptors razo's requests need.  A
request head must arrive whole within `head_timeout` of the connection's start (or of its first
byte on a kept-alive connection): every read waits only for what is left of that time, so a
head that trickles in byte by byte is cut as surely as a silent one.
"""

from __future__ import annotations

import dataclasses
import io
import socket
import threading
import time


@dataclasses.dataclass(frozen=True)
class Limits:
    head_timeout: float = 10.0  # the request line and headers, whole
    idle_timeout: float = 15.0  # a kept-alive connection waiting for its next request
    body_timeout: float = 30.0  # the body of a POST, whole
    write_timeout: float = 30.0  # each write of a reply
    per_address: int = 6  # connections of one LAN address or one other account
    others_total: int = 64  # connections of everyone but the user
    accept_pause: float = 0.05  # after an accept failed for want of descriptors
    clock: object = time.monotonic


class Admission:
    """Counts the connections of others; thread-safe."""

    def __init__(self, limits: Limits):
        self._limits = limits
        self._lock = threading.Lock()
        self._total = 0
        self._by_address: dict[str, int] = {}

    def admit(self, key: str) -> bool:
        """Takes a place for a connection of another client (its key: the LAN address, or the
        account); False when none is left."""
        with self._lock:
            if self._total >= self._limits.others_total:
                return False
            held = self._by_address.get(key, 0)
            if held >= self._limits.per_address:
                return False
            self._by_address[key] = held + 1
            self._total += 1
            return True

    def release(self, key: str) -> None:
        with self._lock:
            self._total -= 1
            held = self._by_address.pop(key, 0) - 1
            if held > 0:
                self._by_address[key] = held


class DeadlineReader(io.RawIOBase):
    """The reading side of a connection; every read ends at the deadline that is set.

    `expect(seconds, then=None)`: the next data must come within `seconds`; with `then`, the
    first data that comes starts a new deadline of `then` seconds (the head after an idle wait).
    `clear()`: no deadline; reads wait `fallback` seconds each."""

    def __init__(self, sock: socket.socket, clock=time.monotonic, fallback: float | None = None):
        super().__init__()
        self._sock = sock
        self._clock = clock
        self._fallback = fallback
        self._deadline: float | None = None
        self._then: float | None = None

    def readable(self) -> bool:
        return True

    def expect(self, seconds: float, then: float | None = None) -> None:
        self._deadline = self._clock() + seconds
        self._then = then

    def clear(self) -> None:
        self._deadline = self._then = None
        self._sock.settimeout(self._fallback)

    def readinto(self, buffer) -> int:
        if self._deadline is None:
            return self._sock.recv_into(buffer)
        left = self._deadline - self._clock()
        if left <= 0:
            raise TimeoutError("deadline passed")
        self._sock.settimeout(left)
        count = self._sock.recv_into(buffer)
        if count and self._then is not None:
            self.expect(self._then)
        return count
