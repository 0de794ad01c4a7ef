"""The HTTP side: the door every request passes (gates.py, access.py, limits.py), routing, request
bodies, fault injection and one log line per request.

Every request, whatever its route, passes the same steps in this order: a well-formed head
(request line with HTTP/1.x, header lines with a colon) that arrived within the head time-out;
the Host, cross-site and body-type gates; then, for every route but the open ones, the access
check (own account, or the remote token with its back-off).  A route added to the tables below
gets all of them without code of its own.  Everything the door logs has its control characters
escaped, and the refusals of clients other than the user are summarised per client and status.
"""

from __future__ import annotations

import email.errors
import errno
import http.server
import io
import json
import os
import re
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

from .. import network
from ..core import Core, RequestError
from ..faults import FaultPlan
from ..journal import RefusalDigest, printable
from . import gates, listen, mcp
from .access import Access, presented_token
from .backoff import TokenBackoff
from .gates import Refused
from .limits import Admission, DeadlineReader, Limits
from .mobile_page import MOBILE_HTML
from .peers import OWN, UNKNOWN, UNKNOWN_KEY, Peer, PeerCheck

MAX_BODY = 1024 * 1024
MAX_DEPTH = 64  # nesting of a JSON body; razo's deepest is 3
_VERSION = re.compile(r"HTTP/1\.[0-9]")
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
CALLER_ROUTES = ("/api/config/native/save",)  # told whether the caller is the user's own account
NO_PEER = Peer(UNKNOWN, UNKNOWN_KEY)
MAX_LOGGED_PATH = 200
# Routes that read the body themselves: JSON-RPC has its own parse errors, batches and empty replies.
RAW_POST_ROUTES = {
    mcp.PATH: mcp.answer,
}


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


def _too_deep(doc, limit: int = MAX_DEPTH) -> bool:
    stack = [(doc, 1)]
    while stack:
        value, depth = stack.pop()
        if isinstance(value, (dict, list)):
            if depth > limit:
                return True
            stack.extend((v, depth + 1) for v in (value.values() if isinstance(value, dict) else value))
    return False


class _Dropped(Exception):
    """The reply is to be left out and the connection closed."""


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "msgrelay"
    sys_version = ""
    _wrong_types = False  # a wrong-types fault distorts the reply of the request being served
    _started = None  # when the request being served began (None outside _handle)
    _logged = False

    # -- connection and head ------------------------------------------------------------------------
    def setup(self):
        limits: Limits = self.server.limits
        self.connection = self.request
        self._reader = DeadlineReader(self.connection, limits.clock, fallback=limits.write_timeout)
        self.rfile = io.BufferedReader(self._reader)
        self.wfile = socketserver._SocketWriter(self.connection)
        self._peer = self.server.peer_of(self.request)
        self._first = True

    def finish(self):
        try:
            self.rfile.close()
        except OSError:
            pass
        self.wfile.close()

    def handle_one_request(self):
        limits: Limits = self.server.limits
        if self._first:  # the first head is due within the head time-out of the connection's start
            self._first = False
            self._reader.expect(limits.head_timeout)
        else:  # a kept-alive connection may idle, then its head is due from its first byte
            self._reader.expect(limits.idle_timeout, then=limits.head_timeout)
        super().handle_one_request()

    def parse_request(self):
        line = str(self.raw_requestline, "iso-8859-1").rstrip("\r\n")
        words = line.split()
        if len(words) != 3 or not _VERSION.fullmatch(words[2]):
            # Never the HTTP/0.9 answer (a bare body) the base class gives "GET /path".
            self.command, self.request_version, self.requestline = None, "HTTP/1.0", line
            self.send_error(400, "请求行必须是“方法 路径 HTTP/1.1”")
            return False
        if not super().parse_request():
            return False
        if any(isinstance(d, email.errors.MissingHeaderBodySeparatorDefect) for d in self.headers.defects):
            self.send_error(400, "请求头格式不正确：每一行都必须是“名称: 值”")
            return False
        return True

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
        self._log_line(status, f"{self.command} {printable(path, MAX_LOGGED_PATH)} {status} {millis:.0f}ms")

    def _log_line(self, status, line: str):
        """A request's line; a refusal of someone else's request goes to the summary."""
        if self._peer.kind != OWN and (not isinstance(status, int) or status >= 400):
            self.server.refusals.refused(self._peer.key, str(status), f"{line} from {self._peer.key}")
        else:
            self.server.log(line)

    def _send(self, status: int, body: bytes, content_type: str | None = "application/json; charset=utf-8",
              headers=()):
        self.send_response(status)
        if content_type is not None:
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
        self._reader.clear()
        if code == 501:  # the base class's text quotes the method as it came
            message = "不支持这个请求方法"
        text = message or self.responses.get(code, ("错误",))[0]
        try:
            self._send_json(code, {"ok": False, "error": text})
        except OSError:
            pass
        path = urllib.parse.urlsplit(getattr(self, "path", "") or "-").path
        self._log_line(code, f"{self.command or '-'} {printable(path, MAX_LOGGED_PATH)} {code}")

    def _drop(self):
        self.close_connection = True
        self._sent("dropped")
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def _read_body(self, raw: bool = False):
        """The JSON object of the body; with `raw`, the body's bytes as they came."""
        if self.headers.get("Transfer-Encoding", "").strip().lower() not in ("", "identity"):
            self.close_connection = True
            raise RequestError(411, "需要 Content-Length，不支持分块传输")
        raw_length = self.headers.get("Content-Length")
        if raw_length is None:
            self.close_connection = not self._keep_alive
            return b"" if raw else {}
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
        self._reader.expect(self.server.limits.body_timeout)
        try:
            data = self.rfile.read(length) if length else b""
        finally:
            self._reader.clear()
        if len(data) < length:
            self.close_connection = True
            raise RequestError(400, "请求内容不完整")
        self.close_connection = not self._keep_alive
        if raw:
            return data
        if not data.strip():
            return {}
        try:
            body = json.loads(data.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            raise RequestError(400, "请求内容不是有效的 JSON") from None
        except RecursionError:
            raise RequestError(400, "请求内容的 JSON 嵌套过深") from None
        if not isinstance(body, dict):
            raise RequestError(400, "请求内容必须是 JSON 对象")
        if _too_deep(body):
            raise RequestError(400, "请求内容的 JSON 嵌套过深")
        return body

    def _discard_body(self):
        """Reads a small body before a dropped reply so the close is clean rather than a reset."""
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            return
        if 0 < length <= MAX_BODY:
            self._reader.expect(self.server.limits.body_timeout)
            try:
                self.rfile.read(length)
            finally:
                self._reader.clear()

    # -- access -------------------------------------------------------------------------------------
    def _check_access(self, path: str):
        self.server.access.check(path, self._peer.kind, self._peer.key, self.server.core.token(),
                                 presented_token(self.headers))

    # -- requests -----------------------------------------------------------------------------------
    def _handle(self):
        started = self._started = time.monotonic()
        self._reader.clear()  # the head is in; replies are written with the write time-out
        self._logged = False
        self._status = None
        self._wrong_types = False
        self._keep_alive = not self.close_connection
        if self.command != "GET":
            self.close_connection = True  # until the body has been read in full
        split = urllib.parse.urlsplit(self.path)
        path = split.path.rstrip("/") or "/"
        try:
            gates.check(self.command, self.path, self.headers, self.server.server_address[1])
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
        except Refused as refusal:
            self.close_connection = True
            self._send_json(refusal.status, {"ok": False, "message": refusal.text, "error": refusal.text},
                            headers=refusal.headers)
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
        known = path in GET_ROUTES or path in POST_ROUTES or path in RAW_POST_ROUTES
        if path == network.MOBILE_PATH and self.command == "GET":
            self._send(200, MOBILE_HTML.encode("utf-8"), "text/html; charset=utf-8")
            return
        if not known:
            raise RequestError(404, f"没有这个接口：{path}")
        routes = GET_ROUTES if self.command == "GET" else {**POST_ROUTES, **RAW_POST_ROUTES} \
            if self.command == "POST" else {}
        if path not in routes:
            allow = "GET" if path in GET_ROUTES else "POST"
            self._send_json(405, {"ok": False, "error": f"{path} 只接受 {allow}"}, headers=[("Allow", allow)])
            return
        self._check_access(path)
        if self.command == "GET":
            params = {k: v[-1] for k, v in urllib.parse.parse_qs(query, keep_blank_values=True).items()}
            status, doc = routes[path](core, params)
        elif path in RAW_POST_ROUTES:
            status, doc = routes[path](core, self._read_body(raw=True), self.headers, self.server.log)
        else:
            caller = {"own": self._peer.kind == OWN} if path in CALLER_ROUTES else {}
            status, doc = routes[path](core, self._read_body(), **caller)
        if doc is None:
            self._send(status, b"", None)
        else:
            self._send_json(status, doc)

    def do_GET(self):
        self._handle()

    def do_POST(self):
        self._handle()

    do_PUT = do_DELETE = do_PATCH = do_HEAD = do_OPTIONS = do_POST


class Server(listen.BothFamilies, http.server.ThreadingHTTPServer):
    """limits: time-outs and connection bounds; peers: who owns a connection; backoff: the token
    back-off (its clock is the limits' clock unless given).  All replaceable in tests.  Listens on
    both address families of the host (see listen.py); a port that is in use raises OSError."""

    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 1024

    def __init__(self, address, core: Core, faults: FaultPlan, log=print, limits: Limits | None = None,
                 peers: PeerCheck | None = None, backoff: TokenBackoff | None = None):
        self.core = core
        self.faults = faults
        self.log = log = _escaping(log)
        self.limits = limits or Limits()
        self.peers = peers or PeerCheck(log=log)
        self.access = Access(backoff or TokenBackoff(clock=self.limits.clock), log=log)
        self.refusals = RefusalDigest(log, clock=self.limits.clock)
        self.admission = Admission(self.limits)
        self._connections: dict[socket.socket, Peer] = {}
        self._spare = self._reserve()
        self._starved = threading.Event()
        bind_address = self.plan(address)
        try:
            super().__init__(bind_address, Handler, bind_and_activate=False)
            self.listen(address[0], bind_address)
        except BaseException:
            self.server_close()
            raise

    def server_close(self):
        if getattr(self, "socket", None) is not None:  # none when making it failed
            super().server_close()
        self.close_partners()
        if self._spare is not None:
            self._spare.close()
            self._spare = None

    # -- admission -----------------------------------------------------------------------------------
    def verify_request(self, request, client_address):
        """Sorts the connection by owner and takes a place for it unless it is the user's own;
        over the bounds it is closed at once, before any thread or read is spent on it."""
        try:
            local = request.getsockname()
        except OSError:
            return False
        peer = self.peers.classify(client_address, local)
        if peer.kind != OWN and not self.admission.admit(peer.key):
            try:  # reset rather than linger: the slot is wanted for someone else
                request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            except OSError:
                pass
            self.refusals.refused(peer.key, "connections over the limit",
                                  f"msgrelay: connection from {peer.key} reset: over the limit of connections")
            return False
        self._connections[request] = peer
        return True

    def peer_of(self, request) -> Peer:
        return self._connections.get(request, NO_PEER)

    def shutdown_request(self, request):
        peer = self._connections.pop(request, None)
        if peer is None:  # turned away by verify_request: reset, no goodbye
            self.close_request(request)
            return
        if peer.kind != OWN:
            self.admission.release(peer.key)
        super().shutdown_request(request)

    # -- accepting when descriptors run out ------------------------------------------------------------
    @staticmethod
    def _reserve():
        try:
            return open(os.devnull, "rb")  # noqa: SIM115 - held open on purpose
        except OSError:
            return None

    def get_request(self):
        try:
            return self.socket.accept()
        except OSError as error:
            if error.errno in (errno.EMFILE, errno.ENFILE, errno.ENOBUFS, errno.ENOMEM):
                self._shed()
            raise

    def _shed(self):
        """No descriptor is left for a waiting connection: the spare one makes room to accept it
        and close it at once, so that the listening socket does not stay readable and spin."""
        if not self._starved.is_set():
            self._starved.set()
            self.log("msgrelay: out of file descriptors; new connections are closed until some end")
        if self._spare is not None:
            self._spare.close()
            self._spare = None
        try:
            conn, _ = self.socket.accept()
            conn.close()
        except OSError:
            time.sleep(self.limits.accept_pause)
        self._spare = self._reserve()

    def service_actions(self):
        """Between requests: the core looks after its database when that is due, and the
        summaries of refusals whose minute has passed are written."""
        self.refusals.flush()
        try:
            self.core.housekeep()
        except Exception as error:  # never stops serving
            self.log(f"msgrelay: housekeeping failed: {type(error).__name__}")

    def handle_error(self, request, client_address):
        exc = sys.exc_info()[1]
        if not isinstance(exc, (ConnectionError, TimeoutError)):
            client = network.plain_address(client_address[0])
            self.refusals.refused(client, "connection errors", f"msgrelay: connection error from {client}: {exc!r}")


def _escaping(log):
    """The log function with every line's control characters escaped (see journal.printable)."""
    return lambda line: log(printable(line))
