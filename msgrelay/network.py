"""The machine's own addresses and the agent access block built from them (no traffic leaves the host)."""

from __future__ import annotations

import ipaddress
import re
import shutil
import socket
import subprocess
import threading
import time

TOKEN_HEADER = "Quillmere"
AGENT_PATH = "/api/agent/context"
MOBILE_PATH = "/mobile.html"
WILDCARD_HOSTS = ("", "0.0.0.0", "::")  # listening on every address
_CACHE_SECONDS = 60.0
_INET = re.compile(r"\binet (\d+\.\d+\.\d+\.\d+)/")


def _usable(address: str) -> bool:
    try:
        ip = ipaddress.IPv4Address(address)
    except ValueError:
        return False
    return not (ip.is_loopback or ip.is_unspecified or ip.is_link_local or ip.is_multicast)


def _from_ip_command() -> list[str]:
    tool = shutil.which("ip")
    if not tool:
        return []
    try:
        out = subprocess.run([tool, "-4", "-o", "addr", "show"], capture_output=True, text=True,
                             timeout=2, check=False).stdout
    except (OSError, subprocess.SubprocessError):
        return []
    return _INET.findall(out)


def _from_host_name() -> list[str]:
    try:
        infos = socket.getaddrinfo(socket.gethostname(), None, socket.AF_INET, socket.SOCK_STREAM)
    except OSError:
        return []
    return [info[4][0] for info in infos]


def lan_addresses() -> list[str]:
    """Non-loopback IPv4 addresses of this machine, interface order first, without repeats."""
    seen, result = set(), []
    for address in _from_ip_command() + _from_host_name():
        if _usable(address) and address not in seen:
            seen.add(address)
            result.append(address)
    return result


class AddressBook:
    """Caches the LAN addresses for a minute so that each state request stays cheap."""

    def __init__(self, finder=lan_addresses):
        self._finder = finder
        self._lock = threading.Lock()
        self._stamp = -_CACHE_SECONDS
        self._addresses: list[str] = []

    def addresses(self) -> list[str]:
        with self._lock:
            now = time.monotonic()
            if now - self._stamp >= _CACHE_SECONDS:
                self._addresses = self._finder()
                self._stamp = now
            return list(self._addresses)


def reachable_hosts(bind_host: str, addresses: list[str]) -> list[str]:
    """LAN addresses under which a server bound to bind_host can really be reached."""
    if bind_host in WILDCARD_HOSTS:
        return addresses
    return [a for a in addresses if a == bind_host]


def agent_access(bind_host: str, port: int, addresses: list[str], token_set: bool) -> dict:
    hosts = reachable_hosts(bind_host, addresses)
    loopback_ok = bind_host in WILDCARD_HOSTS or bind_host.startswith("127.") or bind_host == "localhost"
    notes = [
        "OpenClaw / Hermes 可用 HTTP 读取步骤访问 localhost_url，返回最近 7 天的摘要和消息。",
        "本机当前用户无需口令；局域网设备和本机其他账户必须在请求头 Quillmere 中带上远程访问口令。"
        if token_set else
        "尚未设置远程访问口令：只有本机当前用户可以读取；设置口令（至少 8 个字符）后局域网内的设备也能用请求头 Quillmere 读取。",
    ]
    if hosts:
        notes.append("手机和 Agent 请使用上面的数字地址；用主机名访问会被拒绝（防止 DNS 重绑定）。")
    else:
        notes.append("没有识别到可用的局域网 IPv4 地址，同一 Wi-Fi 链接暂不可用。")
    return {
        "token_required": token_set,
        "token_header": TOKEN_HEADER,
        "localhost_url": f"http://127.0.0.1:{port}{AGENT_PATH}" if loopback_ok else None,
        "lan_urls": [f"http://{h}:{port}{AGENT_PATH}" for h in hosts],
        "mobile_urls": [f"http://{h}:{port}{MOBILE_PATH}" for h in hosts],
        "remote_status": "not_configured",
        "remote_urls": [],
        "remote_agent_urls": [],
        "remote_notes": ["本机演示核心没有连接网站桥接，没有公网手机地址和公网 Agent 地址。"],
        "notes": notes,
    }


def plain_address(address: str) -> str:
    """A client's address as the log and the limits know it: a v4-mapped IPv6 address (what a
    socket listening on both families sees of an IPv4 client) as plain IPv4."""
    if address.startswith("::ffff:") and "." in address:
        return address[len("::ffff:"):]
    return address


def is_loopback_client(address: str) -> bool:
    address = plain_address(address)
    try:
        return ipaddress.ip_address(address).is_loopback
    except ValueError:
        return False
