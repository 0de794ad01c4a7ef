"""Whose connection is it: the user's own, or anyone else's.

A loopback address alone proves nothing on a machine with several accounts: every account can
connect to 127.0.0.1.  On Linux the owner of the client's socket is listed in /proc/net/tcp (and
/proc/net/tcp6 for IPv6 or v4-mapped sockets): its row has the client's address and port as the
local side and the core's as the remote side.  A loopback connection counts as the user's own
only when that row's uid is the core's; when no row can be found the connection is not trusted.
"""

from __future__ import annotations

import ipaddress
import os
import struct
import sys
import threading
import time

from .. import network

OWN = "own"  # the core's own user on this machine
OTHER = "other"  # the LAN, or another account on this machine
UNKNOWN = "unknown"  # a loopback connection whose owner could not be found: refused

TABLES = ("/proc/net/tcp", "/proc/net/tcp6")
_MAPPED = ipaddress.IPv6Address("::ffff:0:0")
_TIME_WAIT = b"06"  # kept by the kernel after a close, listed with uid 0


def _hex(ip: ipaddress.IPv4Address | ipaddress.IPv6Address) -> str:
    """The address as the kernel prints it: 32-bit words in host byte order, each as %08X."""
    packed = ip.packed
    return "".join(f"{struct.unpack('=I', packed[i:i + 4])[0]:08X}" for i in range(0, len(packed), 4))


def _row_keys(client: tuple, local: tuple) -> list[tuple[int, bytes]]:
    """(table index, "CLIENT:PORT SERVER:PORT") for each table the client's socket may be in."""
    them, us = ipaddress.ip_address(client[0]), ipaddress.ip_address(local[0])
    keys = []
    for table, version in ((0, 4), (1, 6)):
        pair = []
        for ip in (them, us):
            if ip.version == 6 and ip.ipv4_mapped is not None:
                ip = ip.ipv4_mapped
            if version == 6 and ip.version == 4:
                ip = ipaddress.IPv6Address(int(_MAPPED) | int(ip))
            pair.append(ip if ip.version == version else None)
        if None not in pair:
            text = f" {_hex(pair[0])}:{client[1]:04X} {_hex(pair[1])}:{local[1]:04X} "
            keys.append((table, text.encode("ascii")))
    return keys


def _uid_in(text: bytes, key: bytes) -> int | None:
    at = text.find(key)
    while at >= 0:
        end = text.find(b"\n", at)
        fields = text[at:end if end >= 0 else len(text)].split()  # local remote st tx:rx tr:when retrnsmt uid
        if len(fields) > 6 and fields[2] != _TIME_WAIT:  # not a closed predecessor of the same ports
            try:
                return int(fields[6])
            except ValueError:
                return None
        at = text.find(key, at + 1)
    return None


class SocketTables:
    """The kernel's TCP tables.  Reading one costs milliseconds however few sockets there are, so
    a read may be reused for `max_age` seconds: a connection that is already waiting to be
    accepted has its row in any read made after it connected, so one read serves a whole burst.
    """

    def __init__(self, paths=TABLES, clock=time.monotonic, max_age: float = 0.5):
        self._paths = paths
        self._clock = clock
        self._max_age = max_age
        self._lock = threading.Lock()
        self._reads: dict[int, tuple[float, bytes]] = {}

    def _text(self, table: int, fresh: bool) -> tuple[bytes | None, bool]:
        """(the table's text or None, whether it was read just now)."""
        held = self._reads.get(table)
        if not fresh and held is not None and self._clock() - held[0] < self._max_age:
            return held[1], False
        try:
            with open(self._paths[table], "rb") as handle:
                text = handle.read()
        except OSError:
            return None, True
        self._reads[table] = (self._clock(), text)
        return text, True

    def owner(self, client: tuple, local: tuple, trusted: int | None = None) -> int | None:
        """The uid owning the client's end of a connection made on this machine, or None.  A
        reused read is believed only when it names another uid than `trusted`: it can refuse a
        connection but never let one in."""
        with self._lock:
            for table, key in _row_keys(client, local):
                for fresh in (False, True):
                    text, read_now = self._text(table, fresh)
                    uid = _uid_in(text, key) if text is not None else None
                    if uid is not None and (read_now or uid != trusted):
                        return uid
                    if read_now:
                        break  # a second read now would say the same
        return None


class PeerCheck:
    """Sorts connections into OWN, OTHER and UNKNOWN.  `uid` is the core's user; `find_owner`
    (client, local, trusted=uid) -> uid or None is the lookup, replaceable in tests."""

    def __init__(self, uid: int | None = None, find_owner=None, linux: bool | None = None, log=print):
        self.uid = os.geteuid() if uid is None else uid
        self._find_owner = find_owner or SocketTables().owner
        self._linux = sys.platform.startswith("linux") if linux is None else linux
        self._log = log
        self._told = threading.Event()

    def classify(self, client: tuple, local: tuple) -> str:
        if not network.is_loopback_client(client[0]):
            return OTHER
        if not self._linux:
            return OWN  # no socket table to ask: loopback is all there is to go by
        try:
            uid = self._find_owner(client, local, trusted=self.uid)
        except (OSError, ValueError):
            uid = None
        if uid is None:
            if not self._told.is_set():
                self._told.set()
                self._log("msgrelay: cannot tell which account a loopback connection belongs to "
                          "(no row in /proc/net/tcp); such connections are refused")
            return UNKNOWN
        return OWN if uid == self.uid else OTHER
