"""The kernel's socket diagnostics (NETLINK_SOCK_DIAG) for TCP: the owner of one socket, asked by
its addresses, and the owners of the sockets listening on a port.

One query costs a few microseconds however many sockets the machine holds, where reading
/proc/net/tcp costs milliseconds per thousand rows (and a host with 100,000 TIME_WAIT rows holds
a lot of them).  Linux only; every failure is an OSError, so callers can fall back to /proc.
"""

from __future__ import annotations

import dataclasses
import ipaddress
import socket
import struct
import threading

NETLINK_SOCK_DIAG = 4
SOCK_DIAG_BY_FAMILY = 20
NLM_F_REQUEST = 0x1
NLM_F_DUMP = 0x300
NLMSG_ERROR = 2
NLMSG_DONE = 3
NO_COOKIE = 0xFFFFFFFF

ESTABLISHED = 1
LISTEN = 10
ALL_STATES = 0xFFF

_HEADER = struct.Struct("=IHHII")  # nlmsghdr: length, type, flags, sequence, port id
_REQUEST = struct.Struct("=BBBxI")  # inet_diag_req_v2: family, protocol, extensions, states
_REPLY = struct.Struct("=BBBB")  # inet_diag_msg: family, state, timer, retransmits
_OWNER = struct.Struct("=II")  # inet_diag_msg: uid, inode (after the id, expires and queues)
_OWNER_AT = _HEADER.size + _REPLY.size + 48 + 12
_TIMEOUT = 1.0


@dataclasses.dataclass(frozen=True)
class SocketRow:
    state: int
    local_port: int
    remote_port: int
    uid: int
    inode: int


def _packed(ip: ipaddress.IPv4Address | ipaddress.IPv6Address) -> bytes:
    return ip.packed.ljust(16, b"\0")


def _as_v4(address: str) -> ipaddress.IPv4Address | ipaddress.IPv6Address:
    ip = ipaddress.ip_address(address.split("%", 1)[0])
    if ip.version == 6 and ip.ipv4_mapped is not None:
        return ip.ipv4_mapped
    return ip


def _request(family: int, states: int, dump: bool, local=None, remote=None) -> bytes:
    """One inet_diag request; `local` and `remote` are (ip, port) of the socket asked about."""
    if local is None:
        sockid = bytes(36)
    else:
        sockid = (struct.pack("!HH", local[1], remote[1]) + _packed(local[0]) + _packed(remote[0]))
    sockid += struct.pack("=III", 0, NO_COOKIE, NO_COOKIE)
    body = _REQUEST.pack(family, socket.IPPROTO_TCP, 0, states) + sockid
    flags = NLM_F_REQUEST | (NLM_F_DUMP if dump else 0)
    return _HEADER.pack(_HEADER.size + len(body), SOCK_DIAG_BY_FAMILY, flags, 1, 0) + body


class _Channel:
    """One thread's netlink socket, closed with the thread."""

    def __init__(self):
        self.socket = socket.socket(socket.AF_NETLINK, socket.SOCK_DGRAM, NETLINK_SOCK_DIAG)
        self.socket.settimeout(_TIMEOUT)

    def __del__(self):
        self.socket.close()


_channels = threading.local()  # one netlink socket per thread, kept: the accept thread asks often


def _ask(message: bytes, dump: bool) -> list[SocketRow]:
    """Sends one request; the rows of the reply.  A socket that is not there gives no row.  After
    a failure the thread's netlink socket is dropped, so that no late reply is read as the next
    one's."""
    channel = getattr(_channels, "channel", None) or _Channel()
    _channels.channel = None
    rows = _exchange(channel.socket, message, dump)  # an OSError drops the channel with it
    _channels.channel = channel
    return rows


def _exchange(channel: socket.socket, message: bytes, dump: bool) -> list[SocketRow]:
    rows: list[SocketRow] = []
    channel.send(message)
    while True:
        data = channel.recv(65536)
        if not data:
            raise OSError("socket diagnostics: empty reply")
        at = 0
        while at + _HEADER.size <= len(data):
            length, kind, _, _, _ = _HEADER.unpack_from(data, at)
            if length < _HEADER.size:
                raise OSError("socket diagnostics: malformed reply")
            if kind == NLMSG_DONE:
                return rows
            if kind == NLMSG_ERROR:
                (error,) = struct.unpack_from("=i", data, at + _HEADER.size)
                if error == 0 or -error == 2:  # ENOENT: no such socket
                    return rows
                raise OSError(-error, "socket diagnostics refused the request")
            if kind == SOCK_DIAG_BY_FAMILY and at + _OWNER_AT + _OWNER.size <= len(data):
                _, state, _, _ = _REPLY.unpack_from(data, at + _HEADER.size)
                local_port, remote_port = struct.unpack_from("!HH", data, at + _HEADER.size + _REPLY.size)
                uid, inode = _OWNER.unpack_from(data, at + _OWNER_AT)
                rows.append(SocketRow(state, local_port, remote_port, uid, inode))
            at += (length + 3) & ~3
        if not dump:
            return rows


def socket_row(local: tuple, remote: tuple) -> SocketRow | None:
    """The TCP socket whose own end is `local` (address, port) and whose other end is `remote`.
    A v4-mapped IPv6 address is asked for as IPv4, where the kernel keeps such connections."""
    mine, theirs = _as_v4(local[0]), _as_v4(remote[0])
    if mine.version != theirs.version:
        return None
    family = socket.AF_INET if mine.version == 4 else socket.AF_INET6
    rows = _ask(_request(family, ALL_STATES, False, (mine, local[1]), (theirs, remote[1])), dump=False)
    return next((r for r in rows if r.local_port == local[1] and r.remote_port == remote[1]), None)


def listeners(port: int) -> list[int]:
    """The uids of every socket listening on the TCP port, IPv4 and IPv6."""
    uids = []
    for family in (socket.AF_INET, socket.AF_INET6):
        try:
            rows = _ask(_request(family, 1 << LISTEN, True), dump=True)
        except OSError as error:
            if family == socket.AF_INET6 and error.errno in (2, 97):  # no IPv6 on this host
                continue
            raise
        uids += [r.uid for r in rows if r.state == LISTEN and r.local_port == port]
    return uids
