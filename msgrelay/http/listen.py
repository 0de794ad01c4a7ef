"""Where the core listens: on both address families of the host it is given, so that no other
account of the machine can take the core's port on the family the core left free (a client that
asks for [::1]:8765 must reach this core or nothing).

  "0.0.0.0", "" or "::"  one IPv6 socket on "::" that takes IPv4 too (IPV6_V6ONLY off); plain
                         IPv4 on a host without IPv6
  "127.0.0.1" / "::1"    that address, and the other family's loopback on the same port
  anything else          that address alone
"""

from __future__ import annotations

import errno
import ipaddress
import socket
import threading
import time

from .. import network

_NO_IPV6 = (errno.EAFNOSUPPORT, errno.EADDRNOTAVAIL, errno.EPROTONOSUPPORT)
_PARTNER = {"127.0.0.1": "::1", "::1": "127.0.0.1"}


def ipv6_works() -> bool:
    try:
        with socket.socket(socket.AF_INET6, socket.SOCK_STREAM):
            return True
    except OSError:
        return False


def main_address(host: str) -> tuple[int, str, bool]:
    """(family, address, both families on one socket) of the first socket for `host`."""
    if host in network.WILDCARD_HOSTS:
        return (socket.AF_INET6, "::", True) if ipv6_works() else (socket.AF_INET, "0.0.0.0", False)
    try:
        version = ipaddress.ip_address(host.split("%", 1)[0]).version
    except ValueError:
        version = 4  # a name: resolved as IPv4, as before
    return (socket.AF_INET6 if version == 6 else socket.AF_INET), host, False


def partner(host: str, port: int) -> socket.socket | None:
    """A listening socket for the other family's loopback on the port, when `host` is a loopback
    address; None when there is none to take or the host has no such family.  A port that is in
    use raises OSError (EADDRINUSE)."""
    other = _PARTNER.get(host)
    if other is None:
        return None
    family = socket.AF_INET6 if ":" in other else socket.AF_INET
    try:
        sock = socket.socket(family, socket.SOCK_STREAM)
    except OSError as error:
        if error.errno in _NO_IPV6:
            return None
        raise
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        if family == socket.AF_INET6:
            sock.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
        sock.bind((other, port))
        sock.listen(128)
    except OSError as error:
        sock.close()
        if error.errno in _NO_IPV6:
            return None
        raise
    return sock


class BothFamilies:
    """For a socketserver.TCPServer (before it in the bases): `plan(address)` before the server's
    own __init__ (with bind_and_activate=False) sets the family and gives the address of the
    first socket; `listen(host, address)` binds it and the other family's loopback, whose
    connections are served like the first socket's; `close_partners()` in server_close."""

    _both_families = False
    _partners: list = []

    def plan(self, address: tuple) -> tuple:
        self._partners = []
        self._closing = threading.Event()
        self.address_family, host, self._both_families = main_address(address[0])
        return (host, *address[1:])

    def listen(self, host: str, address: tuple):
        """With port 0 the port the first socket got may be taken on the other family: then
        another one is tried."""
        for attempt in range(8):
            self.server_bind()
            self.server_activate()
            try:
                other = partner(host, self.server_address[1])
            except OSError as error:
                if error.errno != errno.EADDRINUSE or address[1] != 0 or attempt == 7:
                    raise
                self.socket.close()
                self.socket = socket.socket(self.address_family, self.socket_type)
                self.server_address = address  # binding sets it to the port it got
                continue
            if other is not None:
                other.settimeout(0.5)  # here: a server closed at once may close it before the thread runs
                self._partners.append(other)
                threading.Thread(target=self._accept_on, args=(other,), name="msgrelay-partner",
                                 daemon=True).start()
            return

    def server_bind(self):
        if self._both_families:
            self.socket.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
        super().server_bind()

    def _accept_on(self, sock: socket.socket):
        """Serves the other family's socket as the serving loop serves the first one."""
        while not self._closing.is_set():
            try:
                request, client_address = sock.accept()
            except TimeoutError:
                continue
            except OSError as error:
                if self._closing.is_set() or error.errno in (errno.EBADF, errno.EINVAL):
                    return
                time.sleep(0.05)  # out of descriptors: wait for some to be given back
                continue
            request.settimeout(None)
            if self.verify_request(request, client_address):
                try:
                    self.process_request(request, client_address)
                except Exception:
                    self.handle_error(request, client_address)
                    self.shutdown_request(request)
            else:
                self.shutdown_request(request)

    def close_partners(self):
        if self._partners:
            self._closing.set()
        for sock in self._partners:
            sock.close()
        self._partners = []
