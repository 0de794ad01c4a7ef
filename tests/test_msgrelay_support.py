"""Helpers for the msgrelay tests: an in-process core on a free loopback port."""

from __future__ import annotations

import http.client
import http.server
import json
import os
import pathlib
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
from msgrelay.server import Server  # noqa: E402

# Nothing a test saves, nor a key in the developer's environment, may reach a real provider.
for _name in ("DEEPSEEK_API_KEY", "DASHSCOPE_API_KEY"):
    os.environ.pop(_name, None)
os.environ["MSGRELAY_AI_LOOPBACK_ONLY"] = "1"


class RunningCore:
    """A core serving on 127.0.0.1:<free port>; `lines` collects what it logs."""

    def __init__(self, config_path=None, faults: str = "", host: str = "127.0.0.1", opener: str = "",
                 addresses=("192.0.2.7",), start=None, ai_timeout: float = 2.0, clock=None):
        self._tmp = None
        if config_path is None:
            self._tmp = tempfile.TemporaryDirectory()
            config_path = pathlib.Path(self._tmp.name) / "nested" / "dir" / "bridge.config.json"
        self.config_path = pathlib.Path(config_path)
        self.lines: list[str] = []
        extra = {"clock": clock} if clock else {}
        self.core = Core(str(self.config_path), host, 0, log=self.lines.append, opener=opener,
                         addresses=AddressBook(lambda: list(addresses)), events=EventStore(start),
                         ai_timeout=ai_timeout, **extra)
        self.server = Server(("127.0.0.1", 0), self.core, FaultPlan(faults, log=self.lines.append),
                             log=self.lines.append)
        self.port = self.server.server_address[1]
        self.core.port = self.port
        self._thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.05},
                                        daemon=True)
        self._thread.start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()
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

    def get(self, path: str, headers=None):
        return self.request("GET", path, headers=headers)

    def post(self, path: str, body=None, headers=None):
        return self.request("POST", path, body={} if body is None else body, headers=headers)

    def state(self) -> dict:
        status, doc = self.get("/api/state")
        assert status == 200, doc
        return doc


class FakeProvider:
    """An OpenAI-compatible chat-completions endpoint on 127.0.0.1:<free port>.

    `mode` decides every answer: "answer" (200 with `text`), "slow" (no reply until closed),
    "401", "500", "malformed" (200, not JSON), "stream" (200, server-sent events).  `digest`,
    when set, is the text answered to digest requests (those whose prompt asks for JSON).
    `requests` holds (path, headers, parsed body) of every request.
    """

    def __init__(self, mode: str = "answer", text: str = "提供方的回答"):
        self.mode, self.text, self.digest = mode, text, None
        self.requests: list[tuple[dict, dict]] = []
        self._release = threading.Event()
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_POST(self):
                body = json.loads(self.rfile.read(int(self.headers.get("Content-Length", "0"))))
                owner.requests.append((self.path, dict(self.headers), body))
                owner._answer(self, body)

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.server.block_on_close = False
        self.port = self.server.server_address[1]
        self.url = f"http://127.0.0.1:{self.port}/v1"
        threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True).start()

    def _answer(self, handler, body):
        is_digest = "JSON" in body["messages"][0]["content"]
        mode = "answer" if is_digest and self.digest is not None else self.mode
        text = self.digest if is_digest and self.digest is not None else self.text
        if mode == "slow":
            self._release.wait(10)
            return
        status, kind, data = {
            "answer": (200, "application/json",
                       json.dumps({"choices": [{"message": {"role": "assistant", "content": text}}]})),
            "401": (401, "application/json", '{"error": {"message": "Incorrect API key provided"}}'),
            "500": (500, "text/plain", "upstream exploded"),
            "malformed": (200, "application/json", '{"choices": [{"mess'),
            "stream": (200, "text/event-stream", 'data: {"choices": [{"delta": {"content": "x"}}]}\n\n'),
        }[mode]
        raw = data.encode()
        handler.send_response(status)
        handler.send_header("Content-Type", kind)
        handler.send_header("Content-Length", str(len(raw)))
        handler.end_headers()
        handler.wfile.write(raw)

    def chat_requests(self) -> list[tuple[str, dict, dict]]:
        return [r for r in self.requests if "JSON" not in r[2]["messages"][0]["content"]]

    def digest_requests(self) -> list[tuple[str, dict, dict]]:
        return [r for r in self.requests if "JSON" in r[2]["messages"][0]["content"]]

    def close(self):
        self._release.set()
        self.server.shutdown()
        self.server.server_close()
