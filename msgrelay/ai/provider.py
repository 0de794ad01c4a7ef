"""One chat-completions call to the configured AI provider, and the record of how the last ones went.

Plain standard-library HTTP (http.client, as urllib uses it) so that the call can be held to
one overall deadline, never follows a redirect (the key would travel with it) and never goes
through a proxy taken from the environment.  One attempt, no retry.  Nothing of the prompt,
the reply or the key is logged; failure texts are fixed sentences plus a status code, never
the provider's reply body (providers echo parts of a rejected key there).
"""

from __future__ import annotations

import datetime as dt
import http.client
import json
import os
import re
import socket
import ssl
import threading
import time

from .. import __version__
from . import address
from .settings import Endpoint

DEFAULT_TIMEOUT = 25.0  # well inside razo's 35-second POST time-out
MAX_REPLY_BYTES = 2 * 1024 * 1024
_THINKING = re.compile(r"^\s*<think>.*?</think>\s*", re.S)


class ProviderError(Exception):
    """A failed call; `reason` is a short Chinese sentence fit for the user and the log."""

    def __init__(self, kind: str, reason: str):
        super().__init__(reason)
        self.kind = kind
        self.reason = reason


def timeout_from_env(environ=None) -> float:
    """MSGRELAY_AI_TIMEOUT (seconds, 0.05 to 120) or the default."""
    raw = (os.environ if environ is None else environ).get("MSGRELAY_AI_TIMEOUT", "").strip()
    try:
        value = float(raw)
    except ValueError:
        return DEFAULT_TIMEOUT
    return value if 0.05 <= value <= 120 else DEFAULT_TIMEOUT


def _status_error(status: int) -> ProviderError:
    if status in (401, 403):
        return ProviderError("auth", f"AI 接口拒绝了 API Key（HTTP {status}），请检查 Key 是否正确、是否过期")
    if status == 404:
        return ProviderError("not_found", "AI 接口地址或模型名称不存在（HTTP 404）")
    if status == 429:
        return ProviderError("rate", "AI 接口请求太频繁或额度已用完（HTTP 429）")
    if 300 <= status < 400:
        return ProviderError("redirect", f"AI 接口要求跳转到别的地址（HTTP {status}），为保护 Key 已拒绝")
    if status >= 500:
        return ProviderError("server", f"AI 接口出错（HTTP {status}）")
    return ProviderError("rejected", f"AI 接口拒绝了请求（HTTP {status}）")


def _content_of(data: bytes, content_type: str) -> str:
    if "text/event-stream" in content_type.lower() or data.lstrip().startswith(b"data:"):
        raise ProviderError("stream", "AI 接口返回了流式回复，无法使用")
    try:
        doc = json.loads(data.decode("utf-8"))
        content = doc["choices"][0]["message"]["content"]
    except (UnicodeDecodeError, ValueError, KeyError, IndexError, TypeError):
        raise ProviderError("malformed", "AI 接口的回复格式无法识别") from None
    if not isinstance(content, str):
        raise ProviderError("malformed", "AI 接口的回复格式无法识别")
    content = _THINKING.sub("", content).strip()
    if not content:
        raise ProviderError("empty", "AI 接口返回了空回答")
    return content


class ProviderClient:
    """Sends one chat-completions request and returns the answer text, or raises ProviderError.

    With MSGRELAY_AI_LOOPBACK_ONLY=1 (set for every test) only this machine is ever called, so a
    test that saves a key never sends anything to a real provider.
    """

    def __init__(self, timeout: float | None = None, loopback_only: bool | None = None):
        self.timeout = timeout_from_env() if timeout is None else timeout
        if loopback_only is None:
            loopback_only = os.environ.get("MSGRELAY_AI_LOOPBACK_ONLY", "").strip() == "1"
        self.loopback_only = loopback_only

    def complete(self, endpoint: Endpoint, messages: list[dict], max_tokens: int = 1200,
                 timeout: float | None = None) -> str:
        """timeout: a shorter deadline than the client's for this call (never a longer one)."""
        body = json.dumps({"model": endpoint.model, "messages": messages, "stream": False,
                           "temperature": 0.3, "max_tokens": max_tokens}, ensure_ascii=False).encode("utf-8")
        limit = self.timeout if timeout is None else min(timeout, self.timeout)
        status, content_type, data = self._post(endpoint, body, limit)
        if not 200 <= status < 300:
            raise _status_error(status)
        return _content_of(data, content_type)

    def _post(self, endpoint: Endpoint, body: bytes, timeout: float) -> tuple[int, str, bytes]:
        try:
            where = address.parse(endpoint.url)  # the host judged is the host called
        except address.AddressProblem as problem:
            raise ProviderError("invalid", str(problem).rstrip("。")) from None
        if self.loopback_only and where.place != "loopback":
            raise ProviderError("blocked", "此环境只允许连接本机的 AI 接口（MSGRELAY_AI_LOOPBACK_ONLY）")
        # The port is always given: "::1" alone would read as host ":" and port 1.
        if where.scheme == "https":
            conn = http.client.HTTPSConnection(where.host, where.port, timeout=timeout,
                                               context=ssl.create_default_context())
        else:
            conn = http.client.HTTPConnection(where.host, where.port, timeout=timeout)
        target = where.target
        headers = {"Content-Type": "application/json", "Accept": "application/json",
                   "User-Agent": f"msgrelay/{__version__}"}
        if endpoint.key:
            headers["Authorization"] = f"Bearer {endpoint.key}"
        expired = threading.Event()

        def cut_off():  # the overall deadline: a provider that trickles bytes is stopped too
            expired.set()
            sock = conn.sock
            if sock is not None:
                try:
                    sock.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

        timer = threading.Timer(timeout, cut_off)
        timer.daemon = True
        timer.start()
        try:
            conn.connect()
            if expired.is_set():
                raise TimeoutError
            conn.request("POST", target, body=body, headers=headers)
            reply = conn.getresponse()
            data = reply.read(MAX_REPLY_BYTES + 1)
            if expired.is_set():
                raise TimeoutError
            if len(data) > MAX_REPLY_BYTES:
                raise ProviderError("too_large", "AI 接口的回复过大")
            return reply.status, reply.getheader("Content-Type", ""), data
        except ProviderError:
            raise
        except (TimeoutError, socket.timeout):
            raise self._timed_out(timeout) from None
        except ConnectionRefusedError:
            raise ProviderError("refused", "无法连接 AI 接口（连接被拒绝），请确认服务已启动、地址和端口正确") from None
        except socket.gaierror:
            raise ProviderError("dns", "找不到 AI 接口的主机，请检查接口地址和网络") from None
        except ssl.SSLError:
            raise ProviderError("tls", "与 AI 接口建立加密连接失败") from None
        except (OSError, http.client.HTTPException):
            if expired.is_set():
                raise self._timed_out(timeout) from None
            raise ProviderError("network", "与 AI 接口的连接中断") from None
        except ValueError:  # a header or address http.client refuses; its text could quote the key
            raise ProviderError("invalid", "AI 接口地址或 API Key 含有无效字符") from None
        finally:
            timer.cancel()
            conn.close()

    @staticmethod
    def _timed_out(timeout: float) -> ProviderError:
        return ProviderError("timeout", f"AI 接口 {timeout:g} 秒内没有回复")


class AIStatus:
    """The outcome of the latest provider calls, for the state's diagnostics.  Thread-safe."""

    def __init__(self, now=None):
        self._now = now or (lambda: dt.datetime.now().astimezone())
        self._lock = threading.Lock()
        self._error: tuple[str, str, dt.datetime] | None = None  # what, reason, when
        self._ok_at: dt.datetime | None = None

    def failed(self, what: str, reason: str) -> None:
        with self._lock:
            self._error = (what, reason, self._now())

    def reset(self) -> None:
        """New AI settings have not failed yet."""
        with self._lock:
            self._error = None

    def succeeded(self) -> None:
        with self._lock:
            self._ok_at = self._now()

    def last_error(self) -> dict | None:
        """{"what", "reason", "at"} of the latest failure when no call has succeeded since."""
        with self._lock:
            if self._error is None or (self._ok_at is not None and self._ok_at >= self._error[2]):
                return None
            what, reason, at = self._error
            return {"what": what, "reason": reason, "at": at}

    def last_ok(self) -> dt.datetime | None:
        with self._lock:
            return self._ok_at


def elapsed_ms(started: float) -> int:
    return int((time.monotonic() - started) * 1000)
