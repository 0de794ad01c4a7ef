"""The stand-in core over HTTP: documents, settings, to-dos, access, bad input and injected faults."""

import datetime
import http.client
import json
import os
import pathlib
import re
import socket
import subprocess
import shutil
import sys
import tempfile
import time
import unittest
import unittest.mock
import urllib.parse

from test_msgrelay_support import ROOT, RunningCore

from msgrelay.faults import FaultPlan  # noqa: E402 - the support module puts the checkout on the path
from msgrelay.http.backoff import TokenBackoff  # noqa: E402
from msgrelay.http.limits import Limits  # noqa: E402
from msgrelay.http.peers import PeerCheck, SocketTables  # noqa: E402
from msgrelay.message_db import MessageDB, NewMessage  # noqa: E402

ITEM_LINE = re.compile(r"^(企业微信|微信)｜[^｜]+｜[^｜]+ \(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{2}:\d{2}\)：.+$")


class DocumentTests(unittest.TestCase):
    def setUp(self):
        self.core = RunningCore()
        self.addCleanup(self.core.close)

    def test_state_has_every_section_in_wire_form(self):
        state = self.core.state()
        for key in ("config", "summary", "built_in_chat", "agent_access", "setup", "diagnostics"):
            self.assertIn(key, state)
        wecom = state["diagnostics"]["wecom"]
        for key in ("notification_db", "local_store", "local_snapshot", "accessibility",
                    "accessibility_preview", "recommendations"):
            self.assertIn(key, wecom)
        self.assertEqual(wecom["notification_db"]["record_count"], 0)  # demo messages are no records
        self.assertGreaterEqual(len(wecom["recommendations"]), 4)
        self.assertTrue(all(isinstance(item.get("key"), str) and item["key"] for item in state["setup"]["items"]))
        summary = state["summary"]
        for key in ("top_sessions", "top_senders", "top_sources", "top_topics"):
            self.assertTrue(summary[key], key)
            for entry in summary[key]:
                self.assertIsInstance(entry, list)
                self.assertIsInstance(entry[0], str)
                self.assertIsInstance(entry[1], int)
        for key in ("action_items", "follow_ups", "meeting_items", "my_related_items", "notice_items"):
            self.assertTrue(summary[key], key)
            for line in summary[key]:
                self.assertRegex(line, ITEM_LINE)

    def test_events_are_newest_first_and_well_formed(self):
        status, doc = self.core.get("/api/events?hours=168&limit=120")
        self.assertEqual(status, 200)
        events = doc["events"]
        self.assertGreaterEqual(len(events), 24)
        self.assertEqual(len({e["id"] for e in events}), len(events))
        stamps = [e["sent_at"] for e in events]
        self.assertEqual(stamps, sorted(stamps, reverse=True))
        for event in events:
            self.assertIsInstance(event["id"], int)
            self.assertIn(event["chat_target"], ("wechat", "wecom"))
            self.assertRegex(event["sent_at"], r"^\d{4}-\d{2}-\d{2} \d{2}:\d{2}$")
        self.assertEqual({e["chat_target"] for e in events}, {"wechat", "wecom"})
        voices = [e for e in events if e["content_type"] == "voice"]
        self.assertTrue(voices and all(e.get("transcript") for e in voices))

    def test_highlights_match_real_events(self):
        events = self.core.get("/api/events?hours=168&limit=120")[1]["events"]
        shown = {(e["session_name"], e["sender_name"], e.get("transcript") or e["content"]) for e in events}
        highlights = self.core.state()["summary"]["highlights"]
        self.assertTrue(highlights)
        for h in highlights:
            self.assertIn((h["session_name"], h["sender_name"], h["content"]), shown)

    def test_duplicates_differing_in_digits_are_listed_once(self):
        summary = self.core.state()["summary"]
        notices = [line for line in summary["meeting_items"] if "产品评审会｜赵敏" in line and "会议通知" in line]
        self.assertEqual(len(notices), 1)
        self.assertIn("15:00", notices[0])  # the newer one survives
        self.assertFalse([line for line in summary["action_items"] if "快递驿站" in line])  # service accounts
        self.assertFalse([line for line in summary["action_items"] if "｜李明 (" in line])  # the user's own words

    def test_events_query_parameters(self):
        cases = [("hours=168&limit=5", 200, 5), ("hours=1&limit=120", 200, None), ("limit=0", 200, 0),
                 ("hours=abc", 400, None), ("hours=0", 400, None), ("limit=-1", 400, None), ("limit=1.5", 400, None)]
        for query, status, count in cases:
            with self.subTest(query=query):
                got, doc = self.core.get("/api/events?" + query)
                self.assertEqual(got, status)
                if status == 400:
                    self.assertIs(doc["ok"], False)
                    self.assertTrue(doc["error"])
                elif count is not None:
                    self.assertEqual(len(doc["events"]), count)
        recent = self.core.get("/api/events?hours=1")[1]["events"]
        week = self.core.get("/api/events?hours=168")[1]["events"]
        self.assertLess(len(recent), len(week))

    def test_ask_and_chat(self):
        status, doc = self.core.get("/api/ask?hours=168&q=" + urllib.parse.quote("这周有什么会议 & 谁参会"))
        self.assertEqual(status, 200)
        self.assertIn("会议", doc["answer"])
        self.assertGreater(doc["matched_count"], 0)
        status, first = self.core.post("/api/chat", {"message": "有哪些待办？"})
        self.assertEqual(status, 200)
        self.assertRegex(first["session_id"], r"^[0-9a-f-]{36}$")
        self.assertTrue(first["message"].strip())
        status, second = self.core.post("/api/chat", {"message": "报销", "session_id": first["session_id"]})
        self.assertEqual(second["session_id"], first["session_id"])
        self.assertIn("报销", second["message"])

    def test_remote_push_is_an_honest_refusal(self):
        status, doc = self.core.post("/api/remote/context/push", {})
        self.assertEqual(status, 200)
        self.assertIs(doc["ok"], False)
        self.assertIn("未推送", doc["message"])

    def test_open_config_dir_without_opener_names_the_folder(self):
        status, doc = self.core.post("/api/desktop/open-config-dir", {})
        self.assertIs(doc["ok"], False)
        self.assertIn(str(self.core.config_path.parent), doc["message"])

    def test_open_config_dir_with_opener(self):
        core = RunningCore(opener="/bin/true")
        self.addCleanup(core.close)
        status, doc = core.post("/api/desktop/open-config-dir", {})
        self.assertIs(doc["ok"], True)
        self.assertTrue(core.config_path.parent.is_dir())

    def test_scan_reports_instead_of_inventing_messages(self):
        before = self.core.get("/api/events?limit=500")[1]["events"]
        status, doc = self.core.post("/api/scan/wecom/visible", {"force_backfill": True})
        self.assertEqual(status, 200)
        self.assertIs(doc["ok"], False)  # no session bus here: nothing can be read
        self.assertIn("D-Bus", doc["message"])
        self.assertEqual((doc["detected"], doc["inserted"], doc["candidate_events"]), (0, 0, 0))
        self.assertEqual(self.core.get("/api/events?limit=500")[1]["events"], before)
        self.assertEqual(self.core.post("/api/scan/wecom/visible", {"force_backfill": "yes"})[0], 400)
        self.core.post("/api/config/native/save", {"wecom": {"enabled": False}})
        status, doc = self.core.post("/api/scan/wecom/visible", {"force_backfill": True})
        self.assertIs(doc["ok"], False)
        self.assertIn("关闭", doc["message"])

    def test_demo_data_is_marked_as_examples(self):
        events = self.core.get("/api/events?limit=500")[1]["events"]
        self.assertTrue(events)
        self.assertTrue(all("【示例】" in (e.get("transcript") or e["content"]) for e in events))
        items = {item["key"]: item for item in self.core.state()["setup"]["items"]}
        self.assertEqual(items["demo_data"]["title"], "示例数据：尚未读取到真实消息")
        self.assertEqual(items["message_capture"]["status"], "blocked")


class TaskTests(unittest.TestCase):
    def test_completed_item_leaves_the_digest_and_survives_a_restart(self):
        first = RunningCore()
        self.addCleanup(first.close)
        summary = first.state()["summary"]
        item = summary["action_items"][1]
        follow = summary["follow_ups"][0]
        for text in (item, follow):
            status, doc = first.post("/api/tasks/complete", {"item_text": text})
            self.assertEqual((status, doc["ok"]), (200, True))
        summary = first.state()["summary"]
        self.assertNotIn(item, summary["action_items"] + summary["follow_ups"])
        self.assertNotIn(follow, summary["action_items"] + summary["follow_ups"])
        self.assertIs(first.post("/api/tasks/complete", {"item_text": item})[1]["ok"], True)  # again: harmless
        content = item.split("：", 1)[1]
        later = datetime.datetime.now().astimezone() + datetime.timedelta(minutes=7)
        second = RunningCore(config_path=first.config_path, start=later)  # a restart, minutes later
        self.addCleanup(second.close)
        lines = second.state()["summary"]["action_items"]
        self.assertFalse([line for line in lines if line.endswith(content)])
        self.assertGreater(len(lines), 3)

    def test_unknown_or_bad_items(self):
        core = RunningCore()
        self.addCleanup(core.close)
        status, doc = core.post("/api/tasks/complete", {"item_text": "没有这条"})
        self.assertEqual(status, 200)
        self.assertIs(doc["ok"], False)
        self.assertTrue(doc["message"])
        for body in ({}, {"item_text": 3}, {"item_text": "  "}):
            with self.subTest(body=body):
                self.assertEqual(core.post("/api/tasks/complete", body)[0], 400)


class AccessTests(unittest.TestCase):
    def test_agent_endpoint_and_token(self):
        core = RunningCore()
        self.addCleanup(core.close)
        access = core.state()["agent_access"]
        self.assertEqual(access["localhost_url"], f"http://127.0.0.1:{core.port}/api/agent/context")
        self.assertEqual(access["token_header"], "Quillmere")
        self.assertIs(access["token_required"], False)
        self.assertEqual(core.get("/api/agent/context")[0], 200)
        core.post("/api/config/native/save", {"remote_access_token": "s3cret-token"})
        self.assertIs(core.state()["agent_access"]["token_required"], True)
        cases = [({}, 401), ({"Quillmere": "wrong"}, 401), ({"Quillmere": "s3cret-token"}, 200)]
        for headers, status in cases:
            with self.subTest(headers=headers):
                self.assertEqual(core.get("/api/agent/context", headers=headers)[0], status)
        self.assertEqual(core.get("/api/state")[0], 200)  # the front end on loopback needs no token

    def test_lan_urls_follow_the_bind_address(self):
        cases = [("0.0.0.0", ["192.0.2.7"]), ("127.0.0.1", []), ("192.0.2.7", ["192.0.2.7"]), ("10.0.0.1", [])]
        for host, hosts in cases:
            with self.subTest(host=host):
                core = RunningCore(host=host)
                self.addCleanup(core.close)
                access = core.state()["agent_access"]
                self.assertEqual(access["lan_urls"], [f"http://{h}:{core.port}/api/agent/context" for h in hosts])
                self.assertEqual(access["mobile_urls"], [f"http://{h}:{core.port}/mobile.html" for h in hosts])


class BadInputTests(unittest.TestCase):
    def setUp(self):
        self.core = RunningCore()
        self.addCleanup(self.core.close)

    def test_bad_requests_answer_json_errors(self):
        cases = [
            ("non-JSON body", "POST", "/api/chat", b"not json", 400),
            ("array body", "POST", "/api/chat", b"[1]", 400),
            ("not UTF-8", "POST", "/api/chat", b"\xff\xfe", 400),
            ("wrong type", "POST", "/api/chat", b'{"message": 5}', 400),
            ("unknown path", "GET", "/api/nothing", None, 404),
            ("GET on a POST path", "GET", "/api/chat", None, 405),
            ("POST on a GET path", "POST", "/api/state", b"{}", 405),
        ]
        for name, method, path, body, status in cases:
            with self.subTest(name):
                got, doc = self.core.request(method, path, raw=body)
                self.assertEqual(got, status)
                self.assertIs(doc["ok"], False)
                self.assertTrue(doc["error"])

    def test_body_framing(self):
        head = b"Host: 127.0.0.1:{port}\r\nContent-Type: application/json\r\n"
        cases = [
            ("too large", b"POST /api/chat HTTP/1.1\r\nContent-Length: 2000000\r\n", b"{", 413),
            ("chunked", b"POST /api/chat HTTP/1.1\r\nTransfer-Encoding: chunked\r\n", b"2\r\n{}\r\n0\r\n\r\n", 411),
            ("bad length", b"POST /api/chat HTTP/1.1\r\nContent-Length: x\r\n", b"", 400),
            ("no length is an empty body", b"POST /api/remote/context/push HTTP/1.1\r\nConnection: close\r\n", b"", 200),
        ]
        for name, start, body, status in cases:
            with self.subTest(name):
                self.assertEqual(self.core.raw(start + head + b"\r\n" + body)[0], status)
        self.assertEqual(self.core.get("/api/auth/status")[0], 200)  # still serving


TOKEN = "door-token-1"
STRANGER = 4242  # the uid a test makes loopback connections appear to belong to


def wire(start: str, *headers: str, body: bytes = b"", host: str | None = "127.0.0.1:{port}") -> bytes:
    lines = [start + " HTTP/1.1"] if " HTTP/" not in start and "\n" not in start else [start]
    lines += ([f"Host: {host}"] if host is not None else []) + list(headers) + ["Connection: close"]
    if body or start.startswith("POST"):
        lines.append(f"Content-Length: {len(body)}")
    return ("\r\n".join(lines) + "\r\n\r\n").encode() + body


JSON = "Content-Type: application/json"
SAVE = b'{"remote_access_token": "", "user_profile": {"display_name": "attacker"}}'
ASK = b'{"message": "hi"}'
EVENTS = "GET /api/events?hours=168&limit=120"


MCP_MESSAGES = [  # (how long ago, client, chat, chat kind, sender, text)
    (datetime.timedelta(days=3), "wechat", "项目群", "group", "张三", "三天前的报价单 v7 已发到你邮箱，周五前确认"),
    (datetime.timedelta(minutes=30), "wecom", "客户对接群", "group", "林经理", "@李明 今天下班前把合同终稿发我"),
    (datetime.timedelta(minutes=20), "wechat", "ETC服务", "direct", "ETC服务",
     "您的 ETC 卡已失效，请于 24 小时内点击 http://etc-renew.example/k 重新认证"),
    (datetime.timedelta(minutes=10), "wecom", "运维值班群", "group", "周强", "我已经处理了昨晚的告警"),
]


def rpc(method: str, params=None, ident=1) -> dict:
    return {"jsonrpc": "2.0", "id": ident, "method": method, **({} if params is None else {"params": params})}


class DoorTests(unittest.TestCase):
    """Requests from hostile web pages and other accounts against the real core on loopback."""

    def start(self, **door):
        owner = [os.geteuid()]
        self.peer_log = []
        peers = PeerCheck(find_owner=lambda *_, **__: owner[0], log=self.peer_log.append)
        core = RunningCore(opener=self.opener(), door=dict(peers=peers, **door))
        self.addCleanup(core.close)
        self.assertEqual(core.post("/api/config/native/save", {"remote_access_token": TOKEN})[1]["ok"], True)
        return core, owner

    def opener(self) -> str:
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        script = os.path.join(folder, "opener")
        with open(script, "w", encoding="utf-8") as file:
            file.write('#!/bin/sh\ntouch "$1/opened"\n')
        os.chmod(script, 0o755)
        return script

    def test_hostile_requests_are_refused_and_change_nothing(self):
        core, owner = self.start()
        item = core.state()["summary"]["action_items"][0]
        page = "Origin: https://attacker.test"
        cases = [  # (name, who: own / stranger / unknown, request, status)
            ("DNS rebinding", "own", wire(EVENTS, host="attacker.test:{port}"), 403),
            ("name without port", "own", wire(EVENTS, host="attacker.test"), 403),
            ("no Host", "own", wire(EVENTS, host=None), 403),
            ("another port", "own", wire(EVENTS, host="127.0.0.1:1"), 403),
            ("no port", "own", wire(EVENTS, host="127.0.0.1"), 403),
            ("IP with a dot is a name", "own", wire(EVENTS, host="127.0.0.1.:{port}"), 403),
            ("name under localhost", "own", wire(EVENTS, host="evil.localhost:{port}"), 403),
            ("IPv6 zone", "own", wire(EVENTS, host="[::1%lo]:{port}"), 403),
            ("two Hosts", "own", wire(EVENTS, "Host: attacker.test"), 400),
            ("phone page rebound", "own", wire("GET /mobile.html", host="attacker.test:{port}"), 403),
            ("readiness rebound", "own", wire("GET /api/auth/status", host="attacker.test:{port}"), 403),
            ("simple cross-site save", "own", wire("POST /api/config/native/save", page, "Content-Type: text/plain",
                                                   body=SAVE), 403),
            ("cross-site save as JSON", "own", wire("POST /api/config/native/save", page, JSON, body=SAVE), 403),
            ("cross-site to-do", "own", wire("POST /api/tasks/complete", page, "Content-Type: text/plain",
                                             body=json.dumps({"item_text": item}).encode()), 403),
            ("cross-site open folder", "own", wire("POST /api/desktop/open-config-dir", page, JSON, body=b"{}"), 403),
            ("null origin", "own", wire("POST /api/config/native/save", "Origin: null", JSON, body=SAVE), 403),
            ("https origin", "own", wire("POST /api/chat", "Origin: https://127.0.0.1:{port}", JSON, body=ASK), 403),
            ("another name for us", "own", wire("POST /api/chat", "Origin: http://localhost:{port}", JSON, body=ASK), 403),
            ("cross-site read", "own", wire(EVENTS, page), 403),
            ("preflight", "own", wire("OPTIONS /api/chat", page, "Access-Control-Request-Method: POST"), 403),
            ("fetch from another site", "own", wire(EVENTS, "Sec-Fetch-Site: cross-site"), 403),
            ("fetch from a sibling site", "own", wire(EVENTS, "Sec-Fetch-Site: same-site"), 403),
            ("text body", "own", wire("POST /api/config/native/save", "Content-Type: text/plain", body=SAVE), 415),
            ("form body", "own", wire("POST /api/tasks/complete", "Content-Type: application/x-www-form-urlencoded",
                                      body=b"item_text=x"), 415),
            ("multipart body", "own", wire("POST /api/config/native/save", "Content-Type: multipart/form-data; b=x",
                                           body=SAVE), 415),
            ("no body type", "own", wire("POST /api/config/native/save", body=SAVE), 415),
            ("HTTP/0.9 request", "own", b"GET /api/state\r\n\r\n", 400),
            ("HTTP/2 request line", "own", wire("GET /api/state HTTP/2.0"), 400),
            ("header without colon", "own", wire(EVENTS, "X-Broken header"), 400),
            ("absolute target", "own", wire("GET http://attacker.test/api/state"), 400),
            ("deeply nested JSON", "own", wire("POST /api/chat", JSON, body=b"[" * 100000), 400),
            ("nested below the limit", "own", wire("POST /api/config/native/save", JSON,
                                                   body=b'{"a":' * 200 + b"1" + b"}" * 200), 400),
            ("other account reads", "stranger", wire(EVENTS), 401),
            ("other account clears the token", "stranger", wire("POST /api/config/native/save", JSON, body=SAVE), 401),
            ("other account, wrong token", "stranger", wire(EVENTS, "Quillmere: door-token-2"), 401),
            ("owner unknown", "unknown", wire(EVENTS, f"Quillmere: {TOKEN}"), 403),
            # what must keep working
            ("razo", "own", wire(EVENTS), 200),
            ("razo posts", "own", wire("POST /api/chat", JSON, body=ASK), 200),
            ("localhost and charset", "own", wire("POST /api/chat", "Content-Type: Application/JSON; charset=utf-8",
                                                  body=ASK, host="LOCALHOST.:{port}"), 200),
            ("IPv6 literal", "own", wire(EVENTS, host="[::1]:{port}"), 200),
            ("phone page", "stranger", wire("GET /mobile.html", "Sec-Fetch-Site: none", host="192.0.2.7:{port}"), 200),
            ("phone page's fetch", "stranger", wire("GET /api/agent/context", "Sec-Fetch-Site: same-origin",
                                                    "Origin: http://192.0.2.7:{port}", f"Quillmere: {TOKEN}",
                                                    host="192.0.2.7:{port}"), 200),
            ("readiness for anyone", "unknown", wire("GET /api/auth/status"), 200),
        ]
        config = core.config_path.read_bytes()
        for name, who, request, status in cases:
            with self.subTest(name):
                owner[0] = {"own": os.geteuid(), "stranger": STRANGER, "unknown": None}[who]
                got, doc = core.raw(request)
                self.assertEqual(got, status, doc)
                if status != 200:
                    self.assertIs(doc["ok"], False)
                    self.assertRegex(doc["error"], r"[\u4e00-\u9fff]")
        owner[0] = os.geteuid()
        self.assertEqual(core.config_path.read_bytes(), config)
        self.assertFalse((core.config_path.parent / "opened").exists())
        self.assertIn(item, core.state()["summary"]["action_items"])
        self.assertNotIn("door-token-2", "\n".join(core.lines))
        self.assertEqual(len(self.peer_log), 1)  # an unknown owner is logged once

    def test_agents_speak_mcp_through_the_same_door(self):
        folder = pathlib.Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, folder)
        now = datetime.datetime.now().astimezone()
        db = MessageDB(folder, log=lambda line: None)
        for ago, target, chat, kind, sender, text in MCP_MESSAGES:
            db.insert(NewMessage(now - ago, target, chat, kind, sender, text, "text", "test", "notify"))
        db.close()
        owner = [os.geteuid()]
        core = RunningCore(config_path=folder / "bridge.config.json",
                           door={"peers": PeerCheck(find_owner=lambda *_, **__: owner[0], log=lambda line: None)})
        self.addCleanup(core.close)
        core.post("/api/config/native/save", {"remote_access_token": TOKEN})
        ids = {e["content"]: e["id"] for e in core.get("/api/events")[1]["events"]}
        old, todo, scam, quiet = (ids[m[5]] for m in MCP_MESSAGES)

        def tool(name, **arguments):
            return rpc("tools/call", {"name": name, "arguments": arguments})

        def text(reply):
            return reply["result"]["content"][0]["text"]

        def listed(reply, key="messages"):
            return [m["id"] for m in reply["result"]["structuredContent"][key]]

        versions = ["2025-11-25", "2025-06-18", "2025-03-26"]
        # (name, who, extra headers, body, status, check: None for no body, a JSON-RPC error code, "door" for the
        # door's refusal, a text that a tool error result names, or a predicate of the reply)
        cases = [
            *[(f"initialize {v}", "own", (), rpc("initialize", {"protocolVersion": v, "capabilities": {}}), 200,
               lambda r, v=v: r["result"]["protocolVersion"] == v and r["result"]["capabilities"] == {
                   "tools": {"listChanged": False}}) for v in versions],
            ("initialize unknown revision", "own", (), rpc("initialize", {"protocolVersion": "2024-01-01"}), 200,
             lambda r: r["result"]["protocolVersion"] == "2025-11-25"),
            ("initialize without revision", "own", (), rpc("initialize", {}), 200, -32602),
            ("initialized", "own", (), {"jsonrpc": "2.0", "method": "notifications/initialized"}, 202, None),
            ("a response of the client", "own", (), {"jsonrpc": "2.0", "id": 4, "result": {}}, 202, None),
            ("ping", "own", ("MCP-Protocol-Version: 2025-11-25",), rpc("ping"), 200, lambda r: r["result"] == {}),
            ("unknown method", "own", (), rpc("resources/list"), 200, -32601),
            ("unknown revision", "own", ("MCP-Protocol-Version: 1999-01-01",), rpc("tools/list"), 400, -32600),
            ("not JSON", "own", (), b'{"jsonrpc": "2.0", ', 400, -32700),
            ("no jsonrpc member", "own", (), {"id": 1, "method": "ping"}, 400, -32600),
            ("null id", "own", (), rpc("ping", ident=None), 400, -32600),
            ("params a list", "own", (), rpc("tools/list", [1]), 200, -32602),
            ("batch of 2025-03-26", "own", (), [rpc("ping", ident=1), {"jsonrpc": "2.0", "method": "notifications/x"},
                                                rpc("nothing", ident="b")], 200,
             lambda r: [(m["id"], m.get("result"), m.get("error", {}).get("code")) for m in r] ==
             [(1, {}, None), ("b", None, -32601)]),
            ("initialize in a batch", "own", (), [rpc("initialize", {"protocolVersion": "2025-03-26"})], 200,
             lambda r: r[0]["error"]["code"] == -32600),
            ("batch of notifications", "own", (), [{"jsonrpc": "2.0", "method": "notifications/x"}], 202, None),
            ("empty batch", "own", (), [], 400, -32600),
            ("batch of 2025-06-18", "own", ("MCP-Protocol-Version: 2025-06-18",), [rpc("ping")], 400, -32600),
            ("tools", "own", (), rpc("tools/list"), 200, lambda r: [t["name"] for t in r["result"]["tools"]] ==
             ["search_messages", "list_messages", "get_todos", "get_digest", "complete_task"]),
            ("unknown tool", "own", (), rpc("tools/call", {"name": "drop_table"}), 200, -32602),
            ("arguments a list", "own", (), rpc("tools/call", {"name": "get_todos", "arguments": []}), 200, -32602),
            ("search three days back", "own", (), tool("search_messages", query="报价单 V7"), 200,
             lambda r: listed(r) == [old] and f"| 微信 | 项目群 | 张三 | [待办] {MCP_MESSAGES[0][5]}" in text(r)),
            ("search finds a scam", "own", (), tool("search_messages", query="ETC", hours=1, limit=1), 200,
             lambda r: listed(r) == [scam] and "[疑似诈骗] 您的 ETC" in text(r)
             and r["result"]["structuredContent"]["messages"][0]["suspicious"] is True),
            ("search, limit reached", "own", (), tool("search_messages", query="的", limit=1), 200,
             lambda r: len(listed(r)) == 1 and r["result"]["structuredContent"]["more"] is True),
            ("blank query", "own", (), tool("search_messages", query="  "), 200, "query"),
            ("misspelt argument", "own", (), tool("search_messages", q="报价单"), 200, "unknown argument `q`"),
            ("hours past the week", "own", (), tool("search_messages", query="a", hours=169), 200, "`hours`"),
            ("limit a boolean", "own", (), tool("search_messages", query="a", limit=True), 200, "`limit`"),
            ("to-dos of WeCom", "own", (), tool("list_messages", kind="todo", source="wecom"), 200,
             lambda r: listed(r) == [todo] and "[待办]" not in text(r)),
            ("newest first", "own", (), tool("list_messages", limit=3), 200,
             lambda r: listed(r) == [quiet, scam, todo]),
            ("unknown kind", "own", (), tool("list_messages", kind="party"), 200, "`kind`"),
            ("to-dos", "own", (), tool("get_todos"), 200, lambda r: todo in listed(r, "todos") and scam not in
             listed(r, "todos") and "due" in r["result"]["structuredContent"]["todos"][listed(r, "todos").index(todo)]),
            ("digest", "own", (), tool("get_digest"), 200, lambda r: r["result"]["structuredContent"]["total_messages"]
             == 4 and todo in listed(r, "todos") and "待办 " in text(r)),
            ("complete a to-do", "own", (), tool("complete_task", id=todo), 200,
             lambda r: r["result"]["structuredContent"] == {"ok": True, "id": todo, "message": "已标记完成。"}),
            ("completed is gone", "own", (), tool("get_todos"), 200, lambda r: todo not in listed(r, "todos")),
            ("complete a scam", "own", (), tool("complete_task", id=scam), 200, f"#{scam}"),
            # the door
            ("a web page", "own", ("Origin: https://attacker.test",), rpc("tools/list"), 403, "door"),
            ("no stream", "own", "GET", b"", 405, "door"),
            ("another account", "stranger", (), rpc("tools/list"), 401, "door"),
            ("another account, wrong token", "stranger", ("Authorization: Bearer door-token-2",), rpc("ping"), 401,
             "door"),
            ("another account, Bearer token", "stranger", (f"Authorization: bearer {TOKEN}",), tool("get_todos"), 200,
             lambda r: old in listed(r, "todos")),
        ]
        for name, who, headers, body, status, check in cases:
            with self.subTest(name):
                owner[0] = os.geteuid() if who == "own" else STRANGER
                data = body if isinstance(body, bytes) else json.dumps(body).encode()
                request = wire("GET /mcp") if headers == "GET" else wire("POST /mcp", JSON, *headers, body=data)
                got, reply = core.raw(request)
                self.assertEqual(got, status, reply)
                if check is None:
                    self.assertEqual(reply, "")
                elif check == "door":
                    self.assertIs(reply["ok"], False)
                elif isinstance(check, int):
                    self.assertEqual(reply["error"]["code"], check, reply)
                elif isinstance(check, str):  # a tool error result that names what to fix
                    self.assertIs(reply["result"]["isError"], True, reply)
                    self.assertIn(check, text(reply))
                else:
                    self.assertTrue(check(reply), reply)
        log = "\n".join(core.lines)
        for secret in ("报价单", "ETC", TOKEN, "door-token-2"):
            self.assertNotIn(secret, log)
        self.assertIn("msgrelay: mcp get_todos: 2 messages", log)

    def test_another_account_needs_the_token(self):
        python = "/usr/bin/python3"  # readable by nobody, unlike an interpreter under /root
        if os.geteuid() != 0 or not shutil.which("runuser") or not os.path.exists(python):
            self.skipTest("needs root, runuser and /usr/bin/python3 to run a client as nobody")
        core = RunningCore()
        self.addCleanup(core.close)
        client = ("import http.client, sys\n"
                  "for method, path, headers in [('GET', '/api/events?limit=1000', {}),"
                  " ('POST', '/api/config/native/save', {}), ('GET', '/api/state', {'Quillmere': sys.argv[2]})]:\n"
                  "    c = http.client.HTTPConnection('127.0.0.1', int(sys.argv[1]), timeout=10)\n"
                  "    c.request(method, path, body=b'{\"remote_access_token\": \"\"}' if method == 'POST' else None,"
                  " headers={'Content-Type': 'application/json', **headers})\n"
                  "    print(c.getresponse().status)\n")
        cases = [("", ["403", "403", "403"]), (TOKEN, ["401", "401", "200"])]  # (token set, statuses)
        for token, statuses in cases:
            with self.subTest(token=token):
                core.post("/api/config/native/save", {"remote_access_token": token})
                out = subprocess.run(["runuser", "-u", "nobody", "--", python, "-c", client, str(core.port), TOKEN],
                                     cwd="/", capture_output=True, text=True, timeout=30)
                self.assertEqual(out.stdout.split(), statuses, out.stderr)
                self.assertIs(core.state()["config"]["remote_access_protected"], bool(token))
        self.assertEqual(core.get("/api/events?limit=1")[0], 200)  # the user's own, without a token

    def test_a_reused_socket_table_can_refuse_but_never_admit(self):
        client, local, me, other = ("127.0.0.1", 50000), ("127.0.0.1", 8765), 1000, 65534
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        paths = (os.path.join(folder, "tcp"), os.path.join(folder, "tcp6"))
        open(paths[1], "wb").close()

        def listed(uid):
            with open(paths[0], "w") as table:
                table.write(f"  0: 0100007F:C350 0100007F:223D 01 00000000:00000000 00:00000000 00000000 {uid} 0\n")

        clock = FakeClock()
        tables = SocketTables(paths=paths, clock=clock)
        # (uid in the file now, seconds since the last read, owner found, reads of tcp made)
        steps = [(me, 0, me, 1), (other, 0.1, other, 1), (me, 0.1, other, 0), (other, 0.1, other, 0),
                 (None, 1, None, 1), (me, 0.1, me, 1)]
        for uid, later, found, reads in steps:
            with self.subTest(uid=uid, later=later):
                if uid is None:
                    open(paths[0], "wb").close()
                else:
                    listed(uid)
                clock.now += later
                with unittest.mock.patch("msgrelay.http.peers.open", create=True, side_effect=open) as opened:
                    self.assertEqual(tables.owner(client, local, trusted=me), found)
                self.assertEqual([c.args[0] for c in opened.call_args_list].count(paths[0]), reads)

    def test_wrong_tokens_are_slowed_down_per_address(self):
        clock = FakeClock()
        core, owner = self.start(backoff=TokenBackoff(clock=clock))
        owner[0] = STRANGER
        steps = [  # (seconds passing first, client address, token, status)
            *[(30, "127.0.0.1", "wrong-guess", 401)] * 6,  # spread over three minutes: never 5 in one
            (61, "127.0.0.1", "wrong-guess", 401), *[(0, "127.0.0.1", "wrong-guess", 401)] * 3,
            (0, "127.0.0.1", "wrong-guess", 429),
            (0, "127.0.0.1", TOKEN, 429), (0, "127.0.0.2", TOKEN, 200),  # the pause is this address's only
            (59, "127.0.0.1", TOKEN, 429), (2, "127.0.0.1", TOKEN, 200),  # after the first minute
            *[(0, "127.0.0.1", "wrong-guess", 401)] * 4, (0, "127.0.0.1", "wrong-guess", 429),
            (61, "127.0.0.1", "wrong-guess", 401), *[(0, "127.0.0.1", "wrong-guess", 401)] * 3,
            (0, "127.0.0.1", "wrong-guess", 429), (61, "127.0.0.1", TOKEN, 429),  # the second pause is twice as long
            (60, "127.0.0.1", TOKEN, 200),
        ]
        for number, (seconds, address, token, status) in enumerate(steps):
            with self.subTest(step=number):
                clock.now += seconds
                got, doc = core.raw(wire(EVENTS, f"Quillmere: {token}"), source=address)
                self.assertEqual(got, status, doc)
        log = "\n".join(core.lines)
        self.assertIn("wrong remote access token from 127.0.0.1", log)
        self.assertNotIn("wrong-guess", log)

    def test_slow_idle_and_surplus_connections_are_cut(self):
        limits = Limits(head_timeout=0.4, idle_timeout=0.3, per_address=2, others_total=2)
        core, owner = self.start(limits=limits)
        trickle = socket.create_connection(("127.0.0.1", core.port), timeout=5)
        started = time.monotonic()
        with trickle, self.assertRaises(OSError):  # cut although a byte comes every 50 ms
            for byte in wire("GET /api/state", "X-Pad: " + "x" * 200).decode():
                trickle.sendall(byte.encode())
                time.sleep(0.05)
        self.assertLess(time.monotonic() - started, 5)
        with socket.create_connection(("127.0.0.1", core.port), timeout=2) as kept:
            kept.sendall(wire(EVENTS, host=f"127.0.0.1:{core.port}").replace(b"close", b"keep-alive"))
            time.sleep(0.6)  # past the idle time-out: the core closes, so the reading below ends
            self.assertEqual(b"".join(iter(lambda: kept.recv(65536), b"")).count(b"HTTP/1.1 200"), 1)
        owner[0] = STRANGER
        held = [socket.create_connection(("127.0.0.1", core.port), timeout=5) for _ in range(2)]
        try:
            with self.assertRaises(ConnectionResetError):  # over the bound: reset at once
                with socket.create_connection(("127.0.0.1", core.port), timeout=5) as surplus:
                    surplus.recv(10)
            owner[0] = os.geteuid()
            self.assertEqual(core.raw(wire(EVENTS))[0], 200)  # the user's own still gets in
        finally:
            for sock in held:
                sock.close()


class FakeClock:
    def __init__(self):
        self.now = 1000.0

    def __call__(self):
        return self.now


class FaultTests(unittest.TestCase):
    def test_each_fault_kind(self):
        core = RunningCore(faults="state=status:500;events=delay:0.4;chat=drop;ask=malformed;"
                                  "complete=refuse-first:2;/api/auth/status=status:503;nonsense;scan=fly")
        self.addCleanup(core.close)
        self.assertEqual(core.get("/api/state")[0], 500)
        started = time.monotonic()
        self.assertEqual(core.get("/api/events")[0], 200)
        self.assertGreaterEqual(time.monotonic() - started, 0.4)
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            core.post("/api/chat", {"message": "hi"})
        status, text = core.get("/api/ask?q=x")
        self.assertEqual(status, 200)
        self.assertRaises(ValueError, json.loads, text)
        for _ in range(2):
            with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
                core.post("/api/tasks/complete", {"item_text": "x"})
        self.assertEqual(core.post("/api/tasks/complete", {"item_text": "x"})[0], 200)
        self.assertEqual(core.get("/api/auth/status")[0], 503)
        self.assertEqual(core.post("/api/scan/wecom/visible", {"force_backfill": True})[0], 200)  # bad rule ignored
        self.assertTrue(any("ignoring fault" in line for line in core.lines))

    def test_star_covers_endpoints_without_their_own_rule(self):
        core = RunningCore(faults="*=status:503;auth=delay:0")
        self.addCleanup(core.close)
        self.assertEqual(core.get("/api/state")[0], 503)
        self.assertEqual(core.post("/api/chat", {"message": "x"})[0], 503)
        self.assertEqual(core.get("/api/auth/status")[0], 200)


    def test_no_content_and_wrong_types(self):
        core = RunningCore(faults="ask=no-content;complete=wrong-types;events=wrong-types")
        self.addCleanup(core.close)
        self.assertEqual(core.get("/api/ask?q=x"), (204, ""))
        status, doc = core.get("/api/events?hours=168&limit=2")
        self.assertEqual(status, 200)
        self.assertIsInstance(doc["events"], dict)  # a list turned object
        item = core.state()["summary"]["action_items"][0]
        status, doc = core.post("/api/tasks/complete", {"item_text": item})
        self.assertEqual((status, doc["ok"]), (200, "true"))  # served, then distorted
        self.assertIsInstance(doc["message"], int)
        self.assertNotIn(item, core.state()["summary"]["action_items"])

    def test_random_faults_hit_about_the_given_share_and_repeat_with_the_seed(self):
        def kinds(seed):
            plan = FaultPlan("*=random:0.33", seed=seed)
            return [tuple((s.kind, s.value) for s in plan.for_request("/api/state")) for _ in range(3000)]
        first = kinds(7)
        self.assertEqual(first, kinds(7))
        hit = [k for k in first if k]
        self.assertAlmostEqual(len(hit) / len(first), 0.33, delta=0.03)
        self.assertEqual({k[0][0] for k in hit}, {"status", "delay", "drop", "malformed", "no-content", "wrong-types"})
        self.assertTrue(all(0 < v <= 1.5 for (kind, v), in hit if kind == "delay"))
        self.assertIn("seed 7", FaultPlan("*=random:0.33", seed=7).describe())
        self.assertFalse(FaultPlan("*=random:1.5", log=lambda _: None))  # out of range: ignored

    def test_fault_file_is_read_again_when_it_changes(self):
        from msgrelay.faults import FaultFile
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "faults")
            lines = []
            core = RunningCore(faults=FaultFile(path, log=lines.append))
            self.addCleanup(core.close)
            self.assertEqual(core.get("/api/state")[0], 200)  # no file: no faults
            for rules, expected in (("state=status:502", 502), ("state=refuse-first:1", None), ("", 200)):
                with open(path + ".new", "w", encoding="utf-8") as file:
                    file.write(rules)
                os.replace(path + ".new", path)
                if expected is None:  # counters start afresh: the first request after the change drops
                    with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
                        core.get("/api/state")
                    expected = 200
                self.assertEqual(core.get("/api/state")[0], expected, rules)
            self.assertTrue(any("state=status:502" in line for line in lines))


class LaunchTests(unittest.TestCase):
    def test_launch_command_line_port_override_and_sigterm(self):
        with tempfile.TemporaryDirectory() as tmp:
            config = os.path.join(tmp, "Quillmere", "bridge.config.json")
            env = dict(os.environ, PYTHONPATH=str(ROOT), MSGRELAY_PORT="0", MSGRELAY_HOST="127.0.0.1")
            proc = subprocess.Popen([sys.executable, "-u", "-m", "msgrelay.cli", "--config", config, "desktop",
                                     "--host", "0.0.0.0", "--port", "8765", "--no-browser", "--no-native-window"],
                                    cwd=ROOT, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            try:
                first = proc.stdout.readline()
                match = re.match(r"msgrelay listening on http://127\.0\.0\.1:(\d+)", first)
                self.assertTrue(match, first)
                port = int(match.group(1))
                self.assertNotEqual(port, 8765)
                conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
                conn.request("GET", "/api/auth/status")
                self.assertEqual(conn.getresponse().status, 200)
                conn.close()
                self.assertTrue(os.path.exists(config))
                # The request line is logged by the handler thread after the reply went out:
                # read until it arrives instead of racing the termination against it.
                seen = []
                for line in proc.stdout:
                    seen.append(line)
                    if "GET /api/auth/status 200" in line:
                        break
                self.assertIn("GET /api/auth/status 200", "".join(seen))
                proc.terminate()
                self.assertEqual(proc.wait(timeout=5), 0)
            finally:
                if proc.poll() is None:
                    proc.kill()
                proc.wait()
                proc.stdout.close()

    def test_second_core_leaves_a_running_one_and_fails_on_anything_else(self):
        """A core started at login while another already serves ends with 0 (nothing restarts it);
        a port held by something that is not a core is a failure, and neither touches the files."""
        first = RunningCore()
        self.addCleanup(first.close)
        stranger = socket.socket()
        stranger.bind(("127.0.0.1", 0))
        stranger.listen(1)
        self.addCleanup(stranger.close)
        env = {k: v for k, v in os.environ.items() if not k.startswith("MSGRELAY_")}
        env.update(PYTHONPATH=str(ROOT), MSGRELAY_AI_LOOPBACK_ONLY="1")
        for port, status, line in ((first.port, 0, "already answers"),
                                   (stranger.getsockname()[1], 1, "cannot listen")):
            with self.subTest(status=status), tempfile.TemporaryDirectory() as tmp:
                config = os.path.join(tmp, "Quillmere", "bridge.config.json")
                done = subprocess.run([sys.executable, "-u", "-m", "msgrelay.cli", "--config", config, "desktop",
                                       "--host", "0.0.0.0", "--port", str(port)], cwd=ROOT, env=env,
                                      capture_output=True, text=True, timeout=30)
                self.assertEqual(done.returncode, status, done.stdout + done.stderr)
                self.assertIn(line, done.stdout)
                self.assertFalse(os.path.exists(os.path.dirname(config)))


if __name__ == "__main__":
    unittest.main()
