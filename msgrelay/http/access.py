"""Who may call which route.  The user's own connections (loopback, the core's account) may call
everything; everyone else (the LAN, other accounts on this machine) needs the remote access
token in the `Quillmere` header (or as a Bearer token), and wrong tokens are slowed down per client (a
LAN address, or an account with all its loopback addresses) and for all clients together.  Readiness and
the phone page answer anyone who has passed the gates."""

from __future__ import annotations

import hmac
import math

from .. import network
from .backoff import TokenBackoff
from .gates import Refused
from .peers import OWN, UNKNOWN

OPEN_PATHS = ("/api/auth/status", network.MOBILE_PATH)  # readiness, and a page without data

_NEEDS_TOKEN = f"需要在请求头 {network.TOKEN_HEADER} 中提供正确的远程访问口令"


class Access:
    def __init__(self, backoff: TokenBackoff, log=print):
        self._backoff = backoff
        self._log = log

    def check(self, path: str, peer: str, address: str, token: str, presented: str) -> None:
        """Raises Refused unless the client may call `path`.  `address` is the client's key (see
        peers.Peer); `presented` is never logged."""
        if path in OPEN_PATHS:
            return
        if peer == UNKNOWN:
            raise Refused(403, "无法确认这个本机连接属于当前用户，已拒绝")
        own = peer == OWN
        if own and not (path == network.AGENT_PATH and token):
            return
        if not token:
            raise Refused(403, "只允许本机当前用户访问；设置远程访问口令后可从局域网读取")
        if not own:
            _refuse_if_paused(self._backoff.paused(address))
        if presented and hmac.compare_digest(presented.encode(), token.encode()):
            if not own:
                self._backoff.succeeded(address)
            return
        if presented and not own:
            failure = self._backoff.failed(address)
            if failure.pause:
                self._log(f"msgrelay: {failure.count} wrong remote access tokens from {address} within a minute; "
                          f"paused for {failure.pause:.0f} s")
            if failure.all_pause:
                self._log(f"msgrelay: {failure.all_count} wrong remote access tokens from all clients within a "
                          f"minute; everyone but this account paused for {failure.all_pause:.0f} s")
            _refuse_if_paused(max(failure.pause, failure.all_pause))
        raise Refused(401, _NEEDS_TOKEN)


def presented_token(headers) -> str:
    """The token a request carries: the `Quillmere` header, else `Authorization: Bearer <token>`, which
    is how agent tools (MCP clients among them) are configured to send one."""
    token = headers.get(network.TOKEN_HEADER, "").strip()
    if not token:
        scheme, _, credentials = headers.get("Authorization", "").strip().partition(" ")
        if scheme.lower() == "bearer":
            token = credentials.strip()
    return token


def _refuse_if_paused(left: float) -> None:
    if left > 0:
        seconds = math.ceil(left)
        raise Refused(429, f"远程访问口令错误次数过多，请 {seconds} 秒后再试",
                      headers=[("Retry-After", str(seconds))])
