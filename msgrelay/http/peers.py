"""Whose connection is it: the user's own, another account's of this machine, or the LAN's.

A loopback address alone proves nothing on a machine with several accounts: every account can
connect to 127.0.0.1, from any of the 16 million addresses of 127/8.  On Linux the kernel names
the owner of the client's socket: the socket diagnostics answer for that one socket, and
/proc/net/tcp (tcp6 for IPv6 or v4-mapped sockets) lists it too, with the client's address and
port as the local side and the core's as the remote side.  Only a connected socket (ESTABLISHED)
that still belongs to a process (inode not 0) names its owner: once a client closes, its row
stays behind with uid 0 and inode 0, which would pass for root.  A loopback connection counts as
the user's own only when its owner is the core's uid; anything else is not trusted.

Each connection gets a key that limits and the token back-off count by: the address for the LAN,
the uid for another account (all its loopback addresses together), one shared key for loopback
connections whose owner is unknown.
"""

from __future__ import annotations

import dataclasses
import ipaddress
import os
import struct
import sys
import threading
import time

from .. import network
from . import sockdiag

OWN = "own"  # the core's own user on this machine
OTHER = "other"  # the LAN, or another account on this machine
UNKNOWN = "unknown"  # a loopback connection whose owner could not be found: refused

TABLES = ("/proc/net/tcp", "/proc/net/tcp6")
_MAPPED = ipaddress.IPv6Address("::ffff:0:0")
_ESTABLISHED = b"01"
UNKNOWN_KEY = "local"  # the one key of loopback connections whose owner is unknown


@dataclasses.dataclass(frozen=True)
class Peer:
    kind: str  # OWN, OTHER or UNKNOWN
    key: str  # the LAN address, "uid N" for another account of this machine, or UNKNOWN_KEY


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
    """The uid of the connected socket with these ports; None for a row of a closed socket."""
    at = text.find(key)
    while at >= 0:
        end = text.find(b"\n", at)
        # local remote st tx:rx tr:when retrnsmt uid timeout inode
        fields = text[at:end if end >= 0 else len(text)].split()
        if len(fields) > 8 and fields[2] == _ESTABLISHED and fields[8] != b"0":
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


class SocketOwners:
    """The owner of a client's socket: one socket-diagnostics query, or the TCP tables when the
    kernel does not answer it (said once in the log)."""

    def __init__(self, row=sockdiag.socket_row, tables: SocketTables | None = None, log=print):
        self._row = row
        self._tables = tables or SocketTables()
        self._log = log
        self._told = threading.Event()

    def owner(self, client: tuple, local: tuple, trusted: int | None = None) -> int | None:
        try:
            row = self._row(client, local)
        except (OSError, ValueError) as error:
            if not self._told.is_set():
                self._told.set()
                self._log(f"msgrelay: socket diagnostics unavailable ({error}); reading /proc/net/tcp instead")
            return self._tables.owner(client, local, trusted)
        return row.uid if row is not None and row.state == sockdiag.ESTABLISHED and row.inode else None


class PeerCheck:
    """Sorts connections into OWN, OTHER and UNKNOWN, each with its key.  `uid` is the core's
    user; `find_owner` (client, local, trusted=uid) -> uid or None is the lookup, replaceable in
    tests."""

    def __init__(self, uid: int | None = None, find_owner=None, linux: bool | None = None, log=print):
        self.uid = os.geteuid() if uid is None else uid
        self._find_owner = find_owner or SocketOwners(log=log).owner
        self._linux = sys.platform.startswith("linux") if linux is None else linux
        self._log = log
        self._told = threading.Event()

    def classify(self, client: tuple, local: tuple) -> Peer:
        address = network.plain_address(client[0])
        if not network.is_loopback_client(address):
            return Peer(OTHER, address)
        if not self._linux:
            return Peer(OWN, address)  # no socket table to ask: loopback is all there is to go by
        try:
            uid = self._find_owner(client, local, trusted=self.uid)
        except (OSError, ValueError):
            uid = None
        if uid is None:
            if not self._told.is_set():
                self._told.set()
                self._log("msgrelay: cannot tell which account a loopback connection belongs to "
                          "(no connected socket found); such connections are refused")
            return Peer(UNKNOWN, UNKNOWN_KEY)
        return Peer(OWN, address) if uid == self.uid else Peer(OTHER, f"uid {uid}")


def listening_uids(port: int, diag=sockdiag.listeners, paths=TABLES) -> list[int] | None:
    """The uids of the sockets listening on the TCP port (IPv4 and IPv6); None when neither the
    socket diagnostics nor the TCP tables could be read."""
    try:
        return diag(port)
    except OSError:
        pass
    uids, read = [], False
    for path in paths:
        try:
            with open(path, "rb") as handle:
                lines = handle.read().splitlines()[1:]
        except OSError:
            continue
        read = True
        for line in lines:
            fields = line.split()  # sl local remote st tx:rx tr:when retrnsmt uid ...
            if len(fields) > 7 and fields[3] == b"0A" and fields[1].rpartition(b":")[2] == f"{port:04X}".encode():
                uids.append(int(fields[7]))
    return uids if read else None
