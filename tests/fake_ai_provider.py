"""A fake OpenAI-compatible AI provider for the msgrelay tests."""

from __future__ import annotations

import http.server
import json
import threading


class FakeProvider:
    """An OpenAI-compatible chat-completions endpoint on 127.0.0.1:<free port>.

    `mode` decides every answer: "answer" (200 with `text`), "slow" (no reply until closed),
    "401", "500", "malformed" (200, not JSON), "stream" (200, server-sent events).  `digest`,
    when set, is the text answered to digest requests (those whose prompt asks for JSON).
    `requests` holds (path, headers, parsed body) of every request.
    """

    def __init__(self, mode: str = "answer", text: str = "提供方的回答"):
        self.mode, self.text, self.digest = mode, text, None
        self.requests: list[tuple[str, dict, dict]] = []
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
