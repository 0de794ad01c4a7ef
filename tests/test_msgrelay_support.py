"""Helpers for the msgrelay tests: an in-process core on a free loopback port."""

from __future__ import annotations

import datetime as dt
import http.client
import json
import os
import pathlib
import socket
import sys
import tempfile
import threading

ROOT = pathlib.Path(__file__).resolve().parents[1]
if str(ROOT) not in sys.path:
    sys.path.insert(0, str(ROOT))

from msgrelay.core import Core  # noqa: E402
from msgrelay.demo_data import EventStore  # noqa: E402
from msgrelay.faults import FaultPlan  # noqa: E402
from msgrelay.network import AddressBook  # noqa: E402
from msgrelay.http.server import Server  # noqa: E402

# Nothing a test saves, nor a key in the developer's environment, may reach a real provider.
for _name in ("DEEPSEEK_API_KEY", "DASHSCOPE_API_KEY"):
    os.environ.pop(_name, None)
os.environ["MSGRELAY_AI_LOOPBACK_ONLY"] = "1"


class LocalClock:
    """An injectable clock for the core: the aware local time, moved on only by `advance`."""

    def __init__(self):
        self.now = dt.datetime.now().astimezone().replace(microsecond=0)

    def __call__(self):
        return self.now

    def advance(self, **delta):
        self.now += dt.timedelta(**delta)


class RunningCore:
    """A core serving on 127.0.0.1:<free port>; `lines` collects what it logs."""

    def __init__(self, config_path=None, faults="", host: str = "127.0.0.1", opener: str = "",
                 addresses=("192.0.2.7",), start=None, ai_timeout: float = 2.0, clock=None, local_time=None,
                 bus_address=None, capture_options=None, notify_options=None, door=None,
                 reads_from_login=lambda: False, bind: str = "127.0.0.1", resort_options=None):
        """door: keyword arguments of the server (limits, peers, backoff); bind: where it listens
        ("0.0.0.0": both families on one socket, as razo starts the core)."""
        self._tmp = None
        if config_path is None:
            self._tmp = tempfile.TemporaryDirectory()
            config_path = pathlib.Path(self._tmp.name) / "nested" / "dir" / "bridge.config.json"
        self.config_path = pathlib.Path(config_path)
        self.lines: list[str] = []
        extra = {"clock": clock} if clock else {}
        if local_time is not None:
            extra["local_time"] = local_time
        self.core = Core(str(self.config_path), host, 0, log=self.lines.append, opener=opener,
                         addresses=AddressBook(lambda: list(addresses)), events=EventStore(start),
                         ai_timeout=ai_timeout, bus_address=bus_address, capture_options=capture_options,
                         notify_options=notify_options, reads_from_login=reads_from_login,
                         resort_options=resort_options, **extra)
        self.core.start()
        plan = FaultPlan(faults, log=self.lines.append) if isinstance(faults, str) else faults
        self.server = Server((bind, 0), self.core, plan, log=self.lines.append, **(door or {}))
        self.port = self.server.server_address[1]
        self.core.port = self.port
        self._thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.05},
                                        daemon=True)
        self._thread.start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()
        self.core.close()
        if self._tmp is not None:
            self._tmp.cleanup()

    def request(self, method: str, path: str, body=None, headers=None, raw: bytes | None = None):
        """Returns (status, parsed JSON or raw text)."""
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            data = raw if raw is not None else (None if body is None else json.dumps(body).encode())
            send_headers = {"Content-Type": "application/json"}
            send_headers.update(headers or {})
            conn.request(method, path, body=data, headers=send_headers)
            reply = conn.getresponse()
            text = reply.read().decode("utf-8")
            try:
                return reply.status, json.loads(text)
            except ValueError:
                return reply.status, text
        finally:
            conn.close()

    def raw(self, request: bytes, source: str = "127.0.0.1") -> tuple[int | None, object]:
        """Sends bytes as they are ("{port}" is replaced); (status, parsed JSON or text), or
        (None, "") when the core closed the connection without a reply."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=5, source_address=(source, 0)) as sock:
            sock.sendall(request.replace(b"{port}", str(self.port).encode()))
            data = b""
            try:
                while chunk := sock.recv(65536):
                    data += chunk
            except ConnectionResetError:
                pass
        if not data:
            return None, ""
        head, _, body = data.partition(b"\r\n\r\n")
        text = body.decode("utf-8", "replace")
        try:
            return int(head.split()[1]), json.loads(text)
        except ValueError:
            return int(head.split()[1]), text

    def get(self, path: str, headers=None):
        return self.request("GET", path, headers=headers)

    def post(self, path: str, body=None, headers=None):
        return self.request("POST", path, body={} if body is None else body, headers=headers)

    def state(self) -> dict:
        status, doc = self.get("/api/state")
        assert status == 200, doc
        return doc

