"""The checks every request passes before any route sees it: the Host it names, the site it comes
from and the type of its body.  They hold against web pages: a page can make the browser send a
request to the core, but it cannot make the browser send a numeric Host, its own Origin or a JSON
content type without the browser noticing that the request is cross-site.

`check` raises Refused (status, Chinese text) for a request to be refused; nothing has happened
yet when it does.
"""

from __future__ import annotations

import ipaddress

JSON_TYPE = "application/json"
BODYLESS = ("GET", "HEAD")


class Refused(Exception):
    """A request the door turns away, with its HTTP status and a text for whoever sent it."""

    def __init__(self, status: int, text: str, headers=()):
        super().__init__(text)
        self.status = status
        self.text = text
        self.headers = tuple(headers)


def authority(text: str, default_port: int | None) -> tuple[str, int] | None:
    """(host, port) of a Host value or an origin's authority when the host needs no DNS lookup:
    an IPv4 literal, a bracketed IPv6 literal or `localhost` (trailing dot allowed).  A DNS answer
    is what a rebinding attacker controls, so every other name gives None, as does anything
    malformed or a missing port without a default."""
    text = text.strip()
    if text.startswith("["):
        host, bracket, rest = text[1:].partition("]")
        if not bracket or (rest and not rest.startswith(":")) or "%" in host:
            return None
        try:
            host = ipaddress.IPv6Address(host).compressed
        except ValueError:
            return None
        port_text = rest[1:] if rest else None
    else:
        host, colon, port_text = text.partition(":")
        port_text = port_text if colon else None
        host = host.lower()
        if host in ("localhost", "localhost."):
            host = "localhost"
        else:
            try:
                host = str(ipaddress.IPv4Address(host))
            except ValueError:
                return None
    if port_text is None:
        return None if default_port is None else (host, default_port)
    if not (port_text.isascii() and port_text.isdigit() and len(port_text) <= 5):
        return None
    return host, int(port_text)


def _one(headers, name: str) -> str | None:
    values = headers.get_all(name) or []
    if len(values) > 1:
        raise Refused(400, f"请求头 {name} 重复")
    return values[0] if values else None


def check_host(headers, port: int) -> tuple[str, int]:
    """The request's own authority; refuses a Host that is a name, malformed, missing or for
    another port."""
    value = _one(headers, "Host")
    named = authority(value, 80) if value is not None else None
    if named is None or named[1] != port:
        raise Refused(403, "请求的 Host 必须是 IP 地址或 localhost 加本机核心的端口，例如 127.0.0.1:"
                           f"{port}；为防止 DNS 重绑定，其他主机名一律拒绝")
    return named


def check_site(headers, own: tuple[str, int]) -> None:
    """Refuses a request that a browser marks as coming from another site."""
    origin = _one(headers, "Origin")
    if origin is not None:
        scheme, sep, rest = origin.strip().partition("://")
        theirs = authority(rest, 80) if sep and scheme.lower() == "http" and "/" not in rest else None
        if theirs != own:
            raise Refused(403, "拒绝来自其他网站的请求")
    for value in headers.get_all("Sec-Fetch-Site") or []:
        if value.strip().lower() not in ("same-origin", "none"):
            raise Refused(403, "拒绝来自其他网站的请求")


def check_body_type(headers, method: str) -> None:
    """Only JSON bodies are read: every other type is what a plain HTML form or a "simple"
    cross-site request can send without asking the browser first."""
    if method in BODYLESS:
        return
    value = _one(headers, "Content-Type")
    if value is None or value.split(";", 1)[0].strip().lower() != JSON_TYPE:
        raise Refused(415, "请求内容必须是 JSON，请使用 Content-Type: application/json")


def check_target(target: str) -> None:
    """The request target must be a path: no absolute form and no "//host" that a URL parser
    would read as another authority."""
    if not target.startswith("/") or target.startswith("//"):
        raise Refused(400, "请求路径无效")


def check(method: str, target: str, headers, port: int) -> None:
    """All of the above, in order: Host first, before anything else."""
    own = check_host(headers, port)
    check_site(headers, own)
    check_target(target)
    check_body_type(headers, method)
