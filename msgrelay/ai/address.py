"""The one reading of an AI address: the https rule, the loopback-only test guard and the client
that makes the call all use what `parse` returns, so that no two of them can see different hosts.

A host is judged by its text alone, never by a DNS answer: only IP literals and `localhost`
itself count as this machine or the private network; every other name (`*.localhost` included)
is public, because whoever runs its DNS decides where it points.
"""

from __future__ import annotations

import dataclasses
import ipaddress
import re
import urllib.parse

# Where plain http may go besides this machine: the private ranges and link-local addresses.
_LOCAL_NETS = tuple(ipaddress.ip_network(n) for n in ("10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16",
                                                       "169.254.0.0/16", "fc00::/7", "fe80::/10"))
# 6to4 and Teredo addresses reach other networks through relays: public, whatever they embed.
_TUNNELS = (ipaddress.ip_network("2002::/16"), ipaddress.ip_network("2001::/32"))
_PORT = re.compile(r"[0-9]{1,5}")
MALFORMED = "接口地址格式不正确，例如 https://api.deepseek.com/chat/completions。"


@dataclasses.dataclass(frozen=True)
class Address:
    """`place` is "loopback" (this machine), "local" (the private network) or "public"."""

    scheme: str
    host: str  # lower case; an IPv6 literal without brackets
    port: int
    target: str  # path and query
    place: str

    @property
    def origin(self) -> str:
        return f"{self.scheme}://{self.host}:{self.port}"


class AddressProblem(ValueError):
    """An address that cannot be used; the text is for the user (Chinese, one sentence)."""


def _place(host: str) -> str:
    if host == "localhost":
        return "loopback"
    try:
        ip = ipaddress.ip_address(host)
    except ValueError:
        return "public"
    if isinstance(ip, ipaddress.IPv6Address):
        if any(ip in net for net in _TUNNELS):
            return "public"
        ip = ip.ipv4_mapped or ip
    if ip.is_loopback:
        return "loopback"
    return "local" if any(ip.version == net.version and ip in net for net in _LOCAL_NETS) else "public"


def _split_netloc(netloc: str) -> tuple[str, str]:
    """(host, port text); `%` is accepted only inside a bracketed IPv6 literal (a zone)."""
    if netloc.startswith("["):
        host, bracket, rest = netloc[1:].partition("]")
        if not bracket or (rest and not rest.startswith(":")):
            raise AddressProblem(MALFORMED)
        try:
            ipaddress.IPv6Address(host)
        except ValueError:
            raise AddressProblem(MALFORMED) from None
        return host, rest[1:]
    host, _, port = netloc.partition(":")
    if ":" in port or "[" in host or "]" in host:
        raise AddressProblem(MALFORMED)
    if "%" in host:
        raise AddressProblem("接口地址的主机名不能包含 %。")
    return host, port


def parse(url: str) -> Address:
    """Raises AddressProblem for an address that is malformed, carries credentials or a fragment,
    or uses another scheme than http(s).  Whether plain http is allowed is `problem`'s call."""
    if any(c.isspace() or ord(c) < 32 or ord(c) == 127 for c in url):
        raise AddressProblem("接口地址不能包含空格或换行。")
    try:
        parts = urllib.parse.urlsplit(url)
    except ValueError:
        raise AddressProblem(MALFORMED) from None
    scheme = parts.scheme.lower()
    if scheme not in ("http", "https"):
        raise AddressProblem("接口地址必须以 https:// 开头（本机或局域网的 Ollama 可用 http://）。")
    if "@" in parts.netloc:
        raise AddressProblem("接口地址里不能带用户名或密码；API Key 请填在“API Key”或环境变量里。")
    if parts.fragment or "#" in url:
        raise AddressProblem("接口地址不能包含 # 及其后面的内容。")
    host, port_text = _split_netloc(parts.netloc)
    host = host.lower()
    if host == "localhost.":
        host = "localhost"  # any other trailing dot stays: "127.0.0.1." is a name, not an IP literal
    if not host:
        raise AddressProblem("接口地址缺少主机名，例如 https://api.deepseek.com/chat/completions。")
    if port_text and (not _PORT.fullmatch(port_text) or not 0 < int(port_text) < 65536):
        raise AddressProblem(MALFORMED)
    port = int(port_text) if port_text else (443 if scheme == "https" else 80)
    target = (parts.path or "/") + (f"?{parts.query}" if parts.query else "")
    return Address(scheme, host, port, target, _place(host) if host.isascii() else "public")


def problem(url: str) -> str | None:
    """Why an address cannot be used, in Chinese, or None."""
    try:
        address = parse(url)
    except AddressProblem as refusal:
        return str(refusal)
    if address.scheme == "http" and address.place == "public":
        return "只有本机或局域网地址可以用 http://，其他接口地址必须使用 https://。"
    return None
