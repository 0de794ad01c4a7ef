"""The HTTP side: routing, access checks, request bodies, fault injection and one log line per request."""

from __future__ import annotations

import hmac
import http.server
import json
import socket
import sys
import time
import urllib.parse

from .. import network
from ..core import Core, RequestError
from ..faults import FaultPlan
from .mobile_page import MOBILE_HTML

MAX_BODY = 1024 * 1024
MALFORMED_BODY = b'{"ok": tru'

GET_ROUTES = {
    "/api/auth/status": lambda core, params: core.auth_status(),
    "/api/state": lambda core, params: core.state(),
    "/api/events": lambda core, params: core.list_events(params),
    "/api/ask": lambda core, params: core.ask(params),
    "/api/search": lambda core, params: core.search(params),
    "/api/agent/context": lambda core, params: core.agent_context(),
}
POST_ROUTES = {
    "/api/chat": Core.chat,
    "/api/scan/wecom/visible": Core.scan_wecom,
    "/api/config/native/save": Core.save_config,
    "/api/remote/context/push": Core.push_remote,
    "/api/tasks/complete": Core.complete_task,
    "/api/desktop/open-config-dir": Core.open_config_dir,
}
OPEN_PATHS = ("/api/auth/status", network.MOBILE_PATH)  # answer anyone: readiness and a page without data


def _with_wrong_types(doc):
    """The reply with every top-level value of another JSON type: text becomes a number,
    numbers and booleans text, lists objects, objects lists, null a number."""
    if not isinstance(doc, dict):
        return doc

    def other(value):
        if isinstance(value, str):
            return len(value)
        if isinstance(value, (bool, int, float)):
            return str(value).lower()
        if isinstance(value, list):
            return {"items": value}
        if isinstance(value, dict):
            return [value]
        return 0

    return {key: other(value) for key, value in doc.items()}


class _Dropped(Exception):
    """The reply is to be left out and the connection closed."""


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "msgrelay"
    sys_version = ""
    timeout = 75  # idle keep-alive connections and stalled bodies end after this
    _wrong_types = False  # a wrong-types fault distorts the reply of the request being served
    _started = None  # when the request being served began (None outside _handle)
    _logged = False

    # -- plumbing -----------------------------------------------------------------------------------
    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass  # one line per request is written by _log_request instead

    def _log_request(self, status, started):
        # Written before the reply goes out (see _sent), so that whoever has read a reply finds
        # its line already in the log; once per request.
        if self._logged:
            return
        self._logged = True
        path = urllib.parse.urlsplit(self.path).path  # the query may carry a question; it is not logged
        millis = (time.monotonic() - started) * 1000
        self.server.log(f"{self.command} {path} {status} {millis:.0f}ms")

    def _send(self, status: int, body: bytes, content_type: str = "application/json; charset=utf-8", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for name, value in headers:
            self.send_header(name, value)
        if self.close_connection:
            self.send_header("Connection", "close")
        self._sent(status)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _send_json(self, status: int, doc, headers=()):
        if self._wrong_types:
            doc = _with_wrong_types(doc)
        self._send(status, json.dumps(doc, ensure_ascii=False, separators=(",", ":")).encode("utf-8"), headers=headers)

    def _send_no_content(self):
        self.close_connection = True
        self.send_response(204)
        self.send_header("Cache-Control", "no-store")
        self.send_header("Connection", "close")
        self._sent(204)
        self.end_headers()

    def _sent(self, status):
        self._status = status
        if self._started is not None:
            self._log_request(status, self._started)

    def send_error(self, code, message=None, explain=None):
        """Protocol errors of the base class (bad request line, 501...) also answer JSON."""
        self.close_connection = True
        text = message or self.responses.get(code, ("错误",))[0]
        try:
            self._send_json(code, {"ok": False, "error": text})
        except OSError:
            pass
        path = urllib.parse.urlsplit(getattr(self, "path", "") or "-").path
        self.server.log(f"{self.command or '-'} {path} {code}")

    def _drop(self):
        self.close_connection = True
        self._sent("dropped")
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def _read_body(self) -> dict:
        if self.headers.get("Transfer-Encoding", "").strip().lower() not in ("", "identity"):
            self.close_connection = True
            raise RequestError(411, "需要 Content-Length，不支持分块传输")
        raw_length = self.headers.get("Content-Length")
        if raw_length is None:
            self.close_connection = not self._keep_alive
            return {}
        try:
            length = int(raw_length.strip())
        except ValueError:
            self.close_connection = True
            raise RequestError(400, "Content-Length 无效") from None
        if length < 0:
            self.close_connection = True
            raise RequestError(400, "Content-Length 无效")
        if length > MAX_BODY:
            self.close_connection = True  # the body is not read, so the connection cannot be reused
            raise RequestError(413, "请求内容超过 1 MiB")
        data = self.rfile.read(length) if length else b""
        if len(data) < length:
            self.close_connection = True
            raise RequestError(400, "请求内容不完整")
        self.close_connection = not self._keep_alive
        if not data.strip():
            return {}
        try:
            body = json.loads(data.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            raise RequestError(400, "请求内容不是有效的 JSON") from None
        if not isinstance(body, dict):
            raise RequestError(400, "请求内容必须是 JSON 对象")
        return body

    def _discard_body(self):
        """Reads a small body before a dropped reply so the close is clean rather than a reset."""
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            return
        if 0 < length <= MAX_BODY:
            self.rfile.read(length)

    # -- access -------------------------------------------------------------------------------------
    def _check_access(self, path: str):
        core: Core = self.server.core
        token = core.token()
        loopback = network.is_loopback_client(self.client_address[0])
        presented = self.headers.get(network.TOKEN_HEADER, "").strip()
        token_ok = bool(token) and hmac.compare_digest(presented.encode(), token.encode())
        if path in OPEN_PATHS:
            return
        if path == network.AGENT_PATH and token:
            if not token_ok:
                raise RequestError(401, f"需要在请求头 {network.TOKEN_HEADER} 中提供正确的远程访问口令")
            return
        if loopback:
            return
        if not token:
            raise RequestError(403, "只允许本机访问；设置远程访问口令后可从局域网读取")
        if not token_ok:
            raise RequestError(401, f"需要在请求头 {network.TOKEN_HEADER} 中提供正确的远程访问口令")

    # -- requests -----------------------------------------------------------------------------------
    def _handle(self):
        started = self._started = time.monotonic()
        self._logged = False
        self._status = None
        self._wrong_types = False
        self._keep_alive = not self.close_connection
        if self.command != "GET":
            self.close_connection = True  # until the body has been read in full
        split = urllib.parse.urlsplit(self.path)
        path = split.path.rstrip("/") or "/"
        try:
            for step in self.server.faults.for_request(path):
                if step.kind == "delay":
                    time.sleep(step.value)
                elif step.kind == "drop":
                    self._discard_body()
                    raise _Dropped
                elif step.kind == "status":
                    self.close_connection = True
                    self._send_json(int(step.value), {"ok": False, "error": f"注入的故障：HTTP {int(step.value)}"})
                    return
                elif step.kind == "malformed":
                    self.close_connection = True
                    self._send(200, MALFORMED_BODY)
                    return
                elif step.kind == "no-content":
                    self._send_no_content()
                    return
                elif step.kind == "wrong-types":
                    self._wrong_types = True  # the request is served; its reply is distorted
            self._route(path, split.query)
        except _Dropped:
            self._drop()
        except RequestError as error:
            self._send_json(error.status, {"ok": False, "error": error.text})
        except (ConnectionError, TimeoutError, socket.timeout):
            self.close_connection = True
            self._status = "disconnected"
        except Exception as error:  # a fault of the core itself: answer 500, keep serving
            self.close_connection = True
            self.server.log(f"msgrelay: internal error on {self.command} {path}: {type(error).__name__}: {error}")
            try:
                self._send_json(500, {"ok": False, "error": "本地核心内部错误"})
            except OSError:
                pass
        finally:
            self._log_request(self._status, started)

    def _route(self, path: str, query: str):
        core: Core = self.server.core
        known = path in GET_ROUTES or path in POST_ROUTES
        if path == network.MOBILE_PATH and self.command == "GET":
            self._send(200, MOBILE_HTML.encode("utf-8"), "text/html; charset=utf-8")
            return
        if not known:
            raise RequestError(404, f"没有这个接口：{path}")
        routes = GET_ROUTES if self.command == "GET" else POST_ROUTES if self.command == "POST" else {}
        if path not in routes:
            allow = "GET" if path in GET_ROUTES else "POST"
            self._send_json(405, {"ok": False, "error": f"{path} 只接受 {allow}"}, headers=[("Allow", allow)])
            return
        self._check_access(path)
        if self.command == "GET":
            params = {k: v[-1] for k, v in urllib.parse.parse_qs(query, keep_blank_values=True).items()}
            status, doc = routes[path](core, params)
        else:
            status, doc = routes[path](core, self._read_body())
        self._send_json(status, doc)

    def do_GET(self):
        self._handle()

    def do_POST(self):
        self._handle()

    do_PUT = do_DELETE = do_PATCH = do_HEAD = do_OPTIONS = do_POST


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, address, core: Core, faults: FaultPlan, log=print):
        self.core = core
        self.faults = faults
        self.log = log
        super().__init__(address, Handler)

    def service_actions(self):
        """Between requests: the core looks after its database when that is due."""
        try:
            self.core.housekeep()
        except Exception as error:  # never stops serving
            self.log(f"msgrelay: housekeeping failed: {type(error).__name__}")

    def handle_error(self, request, client_address):
        exc = sys.exc_info()[1]
        if not isinstance(exc, (ConnectionError, TimeoutError)):
            self.log(f"msgrelay: connection error from {client_address[0]}: {exc!r}")
