"""The stand-in core over HTTP: documents, settings, to-dos, access, bad input and injected faults."""

import datetime
import errno
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
from msgrelay.logfile import RotatingOutput  # noqa: E402
from msgrelay.http.backoff import TokenBackoff  # noqa: E402
from msgrelay.http.limits import Limits  # noqa: E402
from msgrelay.http import listen, sockdiag  # noqa: E402
from msgrelay.http.server import Server  # noqa: E402
from msgrelay.http.peers import PeerCheck, SocketOwners, SocketTables, listening_uids  # noqa: E402
from msgrelay.message_db import MessageDB, NewMessage  # noqa: E402

ITEM_LINE = re.compile(r"^(企业微信|微信)｜[^｜]+｜[^｜]+ \(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{2}:\d{2}\)：.+$")


class DocumentTests(unittest.TestCase):
    def setUp(self):
        self.core = RunningCore()
        self.addCleanup(self.core.close)
        self.core.post("/api/config/native/save", {"user_profile": {"display_name": "李明"}})  # the demo's person

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
                 ("hours=abc", 400, None), ("hours=0", 400, None), ("limit=-1", 400, None), ("limit=1.5", 400, None),
                 ("kind=todo&limit=3", 200, 3), ("kind=meeting&hours=1", 200, 0), ("kind=&limit=2", 200, 2),
                 ("kind=TODO", 400, None), ("kind=suspicious", 400, None)]
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

    def test_kind_lists_begin_with_the_cards_and_agree_with_the_counts(self):
        summary = self.core.state()["summary"]
        plain = self.core.get("/api/events?hours=168&limit=1000")[1]["events"]
        self.assertEqual(summary["total_messages"], len(plain))
        line = lambda e: (f"{'企业微信' if e['chat_target'] == 'wecom' else '微信'}｜{e['session_name']}｜"  # noqa: E731
                          f"{e['sender_name']} (")
        cards = [("todo", "action_items", "待办"), ("follow_up", "follow_ups", "稍后"), ("important", "highlights", "重要"),
                 ("meeting", "meeting_items", "会议")]
        for kind, card, question in cards:
            with self.subTest(kind=kind):
                status, doc = self.core.get(f"/api/events?kind={kind}&hours=168&limit=1000")
                self.assertEqual((status, doc["kind"]), (200, kind))
                events = doc["events"]
                self.assertEqual(len(events), summary["counts"][kind])
                self.assertEqual(len({e["id"] for e in events}), len(events))
                for event in events:  # never a scam, an excluded or a finished message
                    self.assertFalse(event["sorting"]["suspicious"] or event["sorting"]["excluded"]
                                     or event["sorting"]["done"])
                listed = summary[card]
                heads = [h["content"] for h in listed] if kind == "important" else listed
                self.assertTrue(heads)
                for head, event in zip(heads, events):  # the card's rows first, in its order
                    text = event.get("transcript") or event["content"]
                    self.assertTrue(head == text if kind == "important" else
                                    head.startswith(line(event)) and head.endswith(text), (head, text))
                if kind != "meeting":
                    self.assertTrue(all(e["sorting"][kind] for e in events))
                ask = self.core.get("/api/ask?hours=168&q=" + urllib.parse.quote(question))[1]
                self.assertEqual(ask["matched_count"], summary["counts"][kind])
                self.assertEqual(len(self.core.get(f"/api/events?kind={kind}&limit=2")[1]["events"]), min(2, len(events)))
        needing = {(e["chat_target"], e["session_name"], e["sender_name"],  # once for messages differing in digits
                    re.sub(r"\s+", "", re.sub(r"\d+", "#", e.get("transcript") or e["content"]))) for e in plain
                   if not (e["sorting"]["suspicious"] or e["sorting"]["excluded"] or e["sorting"]["done"])
                   and any(e["sorting"][flag] for flag in ("todo", "follow_up", "important", "mine"))}
        self.assertEqual(summary["counts"]["needs_you"], len(needing))
        self.assertEqual(self.core.get("/api/events?kind=x")[1]["error"], "kind 必须是 todo、follow_up、important 或 meeting")

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
        todos = self.core.get("/api/events?kind=todo&limit=1000")[1]["events"]
        asked = next(e for e in todos if e["sorting"]["mine"] or e["session_kind"] == "direct")
        cases = [  # (question, title, first line holds, lines hold)
            ("今天有什么要我处理的？", "待办事项", todos[0].get("transcript") or todos[0]["content"], "（截止 "),
            ("谁找过我？", "和你相关", f"- {asked['sender_name']}（", "条）："),  # by person, the most pressing first
            ("客户那边有什么事？", "客户消息", "客户", "客户"),
        ]
        for question, title, first_line, every_line in cases:
            with self.subTest(question=question):
                doc = self.core.get("/api/ask?hours=168&q=" + urllib.parse.quote(question))[1]
                self.assertEqual(doc["title"], title)
                lines = [line for line in doc["answer"].split("\n") if line.startswith("- ")]
                self.assertIn(first_line, lines[0])
                self.assertIn(every_line, lines[0])
                self.assertNotIn("王总", doc["answer"])  # the demo's scam is nobody's to-do

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
        scams = [e for e in events if e["sorting"]["suspicious"]]
        self.assertEqual([e["sender_name"] for e in scams], ["王总"])
        self.assertFalse(any(scams[0]["sorting"][flag] for flag in ("todo", "follow_up", "meeting", "important")))
        self.assertNotIn("王总", json.dumps(self.core.state()["summary"], ensure_ascii=False))
        items = {item["key"]: item for item in self.core.state()["setup"]["items"]}
        self.assertEqual(items["demo_data"]["title"], "示例数据：尚未读取到真实消息")
        self.assertEqual(items["message_capture"]["status"], "blocked")


class TaskTests(unittest.TestCase):
    def test_completed_item_leaves_the_digest_and_survives_a_restart(self):
        first = RunningCore()
        self.addCleanup(first.close)
        first.post("/api/config/native/save", {"user_profile": {"display_name": "李明"}})  # the demo's person
        summary = first.state()["summary"]
        item = summary["action_items"][1]
        follow = summary["follow_ups"][0]
        for text in (item, follow):
            status, doc = first.post("/api/tasks/complete", {"item_text": text})
            self.assertEqual((status, doc["ok"]), (200, True))
        summary = first.state()["summary"]
        self.assertNotIn(item, summary["action_items"] + summary["follow_ups"])
        self.assertNotIn(follow, summary["action_items"] + summary["follow_ups"])
        content = item.split("：", 1)[1]
        done = [e for e in first.get("/api/events?limit=1000")[1]["events"] if (e.get("transcript") or e["content"]) == content]
        self.assertEqual([e["sorting"]["done"] for e in done], [True])  # marked in the plain list, gone from the preset
        self.assertNotIn(done[0]["id"], [e["id"] for e in first.get("/api/events?kind=todo&limit=1000")[1]["events"]])
        self.assertIs(first.post("/api/tasks/complete", {"item_text": item})[1]["ok"], True)  # again: harmless
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
GATEWAY = b'{"ai": {"provider": "openai-compatible", "base_url": "https://attacker.test/v1", "enabled": true}}'
KEY_VARIABLE = b'{"ai": {"api_key_env_name": "AWS_SECRET_API_KEY"}}'
NEW_TOKEN = b'{"remote_access_token": "attacker-token"}'
SAME_SWITCH = b'{"notify_todos_and_mentions": true}'
ESCAPES = "\x1b[2J\x1b]0;owned\x07\u202e"
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
        owner = [os.geteuid()]  # a uid, None (unknown), or a function of the client's address
        self.peer_log = []
        peers = PeerCheck(find_owner=lambda client, *_, **__: owner[0](client[0]) if callable(owner[0]) else owner[0],
                          log=self.peer_log.append)
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
            ("other account moves the AI address", "stranger", wire("POST /api/config/native/save", JSON,
                                                                    f"Quillmere: {TOKEN}", body=GATEWAY), 403),
            ("other account sets its key variable", "stranger", wire("POST /api/config/native/save", JSON,
                                                                     f"Quillmere: {TOKEN}", body=KEY_VARIABLE), 403),
            ("other account replaces the token", "stranger", wire("POST /api/config/native/save", JSON,
                                                                  f"Quillmere: {TOKEN}", body=NEW_TOKEN), 403),
            ("escape sequences in the path", "own", wire(f"GET /{ESCAPES} HTTP/1.1"), 404),
            ("escape sequences in the method", "stranger", wire(f"G{ESCAPES}T /api/state HTTP/1.1"), 501),
            ("escape sequences in a broken line", "own", f"GET /{ESCAPES}\r\n\r\n".encode(), 400),
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
            ("other account saves the rest", "stranger", wire("POST /api/config/native/save", JSON,
                                                              f"Quillmere: {TOKEN}", body=SAME_SWITCH), 200),
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
        self.assertFalse([line for line in core.lines if re.search("[\x00-\x1f\x7f-\x9f]", line)])
        self.assertIn("\\x1b[2J", "\n".join(core.lines))  # written, as plain text
        self.assertEqual(len(self.peer_log), 1)  # an unknown owner is logged once
        with socket.socket(socket.AF_INET6) as squatter, self.assertRaises(OSError):  # ::1 is the core's too
            squatter.bind(("::1", core.port))

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
        core.post("/api/config/native/save", {"remote_access_token": TOKEN, "user_profile": {"display_name": "李明"}})
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
        core = RunningCore(bind="0.0.0.0")  # as razo starts it: IPv4 clients arrive v4-mapped
        self.addCleanup(core.close)
        client = ("import http.client, sys\n"
                  "for host in ('127.0.0.1', '::1'):\n"
                  "  for method, path, headers in [('GET', '/api/events?limit=1000', {}),"
                  " ('POST', '/api/config/native/save', {}), ('GET', '/api/state', {'Quillmere': sys.argv[2]})]:\n"
                  "    c = http.client.HTTPConnection(host, int(sys.argv[1]), timeout=10)\n"
                  "    c.request(method, path, body=b'{\"remote_access_token\": \"\"}' if method == 'POST' else None,"
                  " headers={'Content-Type': 'application/json', **headers})\n"
                  "    print(c.getresponse().status)\n")
        cases = [("", ["403", "403", "403"] * 2), (TOKEN, ["401", "401", "200"] * 2)]  # (token set, statuses)
        for token, statuses in cases:
            with self.subTest(token=token):
                core.post("/api/config/native/save", {"remote_access_token": token})
                out = subprocess.run(["runuser", "-u", "nobody", "--", python, "-c", client, str(core.port), TOKEN],
                                     cwd="/", capture_output=True, text=True, timeout=30)
                self.assertEqual(out.stdout.split(), statuses, out.stderr)
                self.assertIs(core.state()["config"]["remote_access_protected"], bool(token))
        for host in ("127.0.0.1", "::1"):  # the user's own, without a token, on both families
            conn = http.client.HTTPConnection(host, core.port, timeout=10)
            conn.request("GET", "/api/events?limit=1")
            self.assertEqual(conn.getresponse().status, 200, host)
            conn.close()

    def test_a_reused_socket_table_can_refuse_but_never_admit(self):
        client, local, me, other = ("127.0.0.1", 50000), ("127.0.0.1", 8765), 1000, 65534
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        paths = (os.path.join(folder, "tcp"), os.path.join(folder, "tcp6"))
        open(paths[1], "wb").close()

        def listed(uid, state):
            inode = 0 if state == "06" else 4711
            with open(paths[0], "w") as table:
                table.write("  0: 0100007F:C350 0100007F:223D 06 00000000:00000000 03:00000000 00000000 0 0 0\n"
                            f"  1: 0100007F:C350 0100007F:223D {state} 00000000:00000000 00:00000000 00000000 "
                            f"{uid} 0 {inode}\n")

        clock = FakeClock()
        tables = SocketTables(paths=paths, clock=clock)
        # (uid in the file now, its state, seconds since the last read, owner found, reads of tcp made)
        steps = [(me, "01", 0, me, 1), (other, "01", 0.1, other, 1), (me, "01", 0.1, other, 0),
                 (other, "01", 0.1, other, 0), (None, "01", 1, None, 1), (me, "01", 0.1, me, 1),
                 (0, "06", 1, None, 1), (0, "04", 1, None, 1)]  # closed: uid 0 and no inode is nobody
        for uid, state, later, found, reads in steps:
            with self.subTest(uid=uid, state=state, later=later):
                if uid is None:
                    open(paths[0], "wb").close()
                else:
                    listed(uid, state)
                clock.now += later
                with unittest.mock.patch("msgrelay.http.peers.open", create=True, side_effect=open) as opened:
                    self.assertEqual(tables.owner(client, local, trusted=me), found)
                self.assertEqual([c.args[0] for c in opened.call_args_list].count(paths[0]), reads)

    def test_wrong_tokens_are_slowed_down_per_account(self):
        clock = FakeClock()
        core, owner = self.start(backoff=TokenBackoff(clock=clock), limits=Limits(clock=clock))
        # 127.0.0.1 is the user's; 127.N.x.y belongs to the account 4240 + N, whatever x and y
        owner[0] = lambda address: os.geteuid() if address == "127.0.0.1" else 4240 + int(address.split(".")[1])
        wrong = "wrong-guess"
        steps = [  # (seconds passing first, client address, token, status)
            *[(30, f"127.2.0.{n}", wrong, 401) for n in range(1, 7)],  # spread over three minutes: never 5 in one
            (61, "127.2.0.7", wrong, 401), *[(0, f"127.2.{n}.1", wrong, 401) for n in range(1, 4)],
            (0, "127.2.9.9", wrong, 429),  # the fifth within a minute, from the fifth address
            (0, "127.2.200.3", TOKEN, 429),  # the pause is the account's, on every address it has
            (0, "127.3.0.1", TOKEN, 200), (0, "127.0.0.1", "", 200),  # another account; the user never waits
            (59, "127.2.0.1", TOKEN, 429), (2, "127.2.7.7", TOKEN, 200),  # after the first minute
            *[(0, f"127.2.1.{n}", wrong, 401) for n in range(1, 5)], (0, "127.2.1.5", wrong, 429),
            (61, "127.2.1.6", wrong, 401), *[(0, f"127.2.2.{n}", wrong, 401) for n in range(1, 4)],
            (0, "127.2.2.4", wrong, 429), (61, "127.2.3.1", TOKEN, 429),  # the second pause is twice as long
            (60, "127.2.3.2", TOKEN, 200),
            # 30 wrong tokens of eight accounts within a minute, none with five: everyone waits but the user
            *[(0, f"127.{10 + n // 4}.0.{n % 4 + 1}", wrong, 429 if n == 29 else 401) for n in range(30)],
            (0, "127.30.0.1", TOKEN, 429), (0, "127.0.0.1", "", 200), (61, "127.30.0.2", TOKEN, 200),
        ]
        for number, (seconds, address, token, status) in enumerate(steps):
            with self.subTest(step=number, address=address):
                clock.now += seconds
                got, doc = core.raw(wire(EVENTS, *([f"Quillmere: {token}"] if token else [])), source=address)
                self.assertEqual(got, status, doc)
        log = "\n".join(core.lines)
        self.assertIn("5 wrong remote access tokens from uid 4242 within a minute; paused for 60 s", log)
        self.assertIn("30 wrong remote access tokens from all clients", log)
        self.assertNotIn(wrong, log)
        refused = [(t, s) for _, a, t, s in steps if a.startswith("127.2.") and s == 401]
        self.assertLess(len(re.findall(r"401 \d+ms from uid 4242", log)), len(refused) / 2)  # summarised
        self.assertRegex(log, r"msgrelay: \d+ more refusals \(401\) from uid 4242 within 60 s")

    def test_slow_idle_and_surplus_connections_are_cut(self):
        limits = Limits(head_timeout=0.4, idle_timeout=0.3)
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
        # 127.N.x.y belongs to the account 4240 + N: one account's many addresses share its places
        core, owner = self.start(limits=Limits(per_address=2, others_total=4))
        owner[0] = lambda address: 4240 + int(address.split(".")[1])
        cases = [("127.2.0.1", True), ("127.2.0.2", True), ("127.2.9.9", False),  # (client, let in)
                 ("127.3.0.1", True), ("127.4.0.1", True), ("127.5.0.1", False)]  # then the 4 of all others
        held = []
        try:
            for address, _ in cases:
                try:
                    held.append(socket.create_connection(("127.0.0.1", core.port), timeout=5,
                                                         source_address=(address, 0)))
                except ConnectionResetError:
                    held.append(None)  # reset before the connect returned
            for (address, admitted), sock in zip(cases, held):
                with self.subTest(address=address):
                    got = "reset"
                    if sock is not None:
                        sock.settimeout(0.2)
                        try:
                            got = "closed" if not sock.recv(10) else "answered"
                        except TimeoutError:
                            got = "held"  # open, waiting for a head
                        except ConnectionResetError:
                            pass
                    self.assertEqual(got, "held" if admitted else "reset")
            owner[0] = os.geteuid()
            self.assertEqual(core.raw(wire(EVENTS))[0], 200)  # the user's own still gets in
        finally:
            for sock in held:
                if sock is not None:
                    sock.close()

    def test_the_kernel_names_the_owner_of_one_connected_socket(self):
        with socket.create_server(("127.0.0.1", 0)) as server:
            client = socket.create_connection(server.getsockname())
            accepted, _ = server.accept()
            with accepted:
                mine, theirs = client.getsockname(), accepted.getsockname()
                row = sockdiag.socket_row(mine, theirs)
                self.assertEqual((row.state, row.uid, row.local_port), (sockdiag.ESTABLISHED, os.geteuid(), mine[1]))
                self.assertNotEqual(row.inode, 0)
                mapped = (f"::ffff:{mine[0]}", mine[1]), (f"::ffff:{theirs[0]}", theirs[1])
                self.assertEqual(sockdiag.socket_row(*mapped), row)  # as a dual-stack socket sees it
                self.assertIn(os.geteuid(), sockdiag.listeners(theirs[1]))
                client.close()  # a closed client names no one, whatever uid its row shows
                self.assertIsNone(SocketOwners().owner(mine, theirs))
                self.assertEqual(listening_uids(theirs[1], diag=unittest.mock.Mock(side_effect=OSError)),
                                 [os.geteuid()])  # the tables, where the kernel does not answer


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

    def test_a_free_port_taken_on_the_other_family_is_given_up_for_another(self):
        partner, tried = listen.partner, []

        def taken_twice(host, port):
            tried.append(port)
            if len(tried) < 3:  # as when something of another program listens on [::1]:port
                raise OSError(errno.EADDRINUSE, "Address already in use")
            return partner(host, port)

        with unittest.mock.patch.object(listen, "partner", taken_twice):
            server = Server(("127.0.0.1", 0), None, FaultPlan(""), log=lambda line: None)
        self.addCleanup(server.server_close)
        self.assertEqual(len(set(tried)), 3)
        self.assertEqual(server.server_address[1], tried[-1])
        with self.assertRaises(OSError):  # with a port asked for, a taken one is an error
            with unittest.mock.patch.object(listen, "partner", taken_twice):
                tried.clear()
                Server(("127.0.0.1", server.server_address[1] + 1), None, FaultPlan(""), log=lambda line: None)

    def test_the_log_is_capped_plain_and_private(self):
        for name, rotated in (("native-core.log", True), ("output.txt", False)):
            with self.subTest(name), tempfile.TemporaryDirectory() as tmp:
                path = os.path.join(tmp, name)
                fd = os.open(path, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
                self.addCleanup(os.close, fd)
                with os.fdopen(fd, "w", encoding="utf-8", closefd=False) as stream:
                    output = RotatingOutput(stream, fd=fd, also=None, cap=2000, check_every=500)
                    for number in range(60):  # 60 lines of about 50 bytes: one rotation
                        output.write(f"GET /{ESCAPES}{number:02d} 404 0ms")
                kept = [pathlib.Path(path + ".1"), pathlib.Path(path)] if rotated else [pathlib.Path(path)]
                self.assertEqual(os.path.exists(path + ".1"), rotated)
                text = "".join(p.read_text(encoding="utf-8") for p in kept)
                self.assertEqual(re.findall(r"(\d\d) 404", text), [f"{n:02d}" for n in range(60)])  # none lost
                self.assertNotRegex(text, "[\x00-\x08\x0b-\x1f\x7f\u202e]")
                if rotated:
                    self.assertEqual(os.stat(path).st_mode & 0o777, 0o600)
                    self.assertIn("the lines before are in native-core.log.1", text)

    def test_second_core_leaves_a_running_one_and_fails_on_anything_else(self):
        """A core started at login while another already serves ends with 0 (nothing restarts it);
        a port held by something that is not a core, or by another account, is a failure, the
        other account's listener is sent nothing, and none of them touches the files."""
        first = RunningCore()
        self.addCleanup(first.close)
        stranger = socket.socket()
        stranger.bind(("127.0.0.1", 0))
        stranger.listen(1)
        self.addCleanup(stranger.close)
        squatter = Squatter(self)
        env = {k: v for k, v in os.environ.items() if not k.startswith("MSGRELAY_")}
        env.update(PYTHONPATH=str(ROOT), MSGRELAY_AI_LOOPBACK_ONLY="1")
        for port, status, line in ((first.port, 0, "already answers"),
                                   (stranger.getsockname()[1], 1, "cannot listen"),
                                   (squatter.port, 1, "held by another account (uid 65534)")):
            with self.subTest(status=status, line=line), tempfile.TemporaryDirectory() as tmp:
                if port is None:
                    self.skipTest(squatter.why)
                config = os.path.join(tmp, "Quillmere", "bridge.config.json")
                done = subprocess.run([sys.executable, "-u", "-m", "msgrelay.cli", "--config", config, "desktop",
                                       "--host", "0.0.0.0", "--port", str(port)], cwd=ROOT, env=env,
                                      capture_output=True, text=True, timeout=30)
                self.assertEqual(done.returncode, status, done.stdout + done.stderr)
                self.assertIn(line, done.stdout)
                self.assertFalse(os.path.exists(os.path.dirname(config)))
        self.assertEqual(squatter.heard(), "")


class Squatter:
    """A listener of the account `nobody` on a free port of every address (needs root and setpriv):
    it prints what reaches it.  `port` is None (and `why` says why) where it cannot run."""

    SCRIPT = ("import socket, sys\n"
              "s = socket.socket(socket.AF_INET6); s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)\n"
              "s.bind(('::', 0)); s.listen(8); print(s.getsockname()[1], flush=True)\n"
              "while True:\n"
              "    c, a = s.accept(); c.settimeout(2)\n"
              "    try: print('connection', c.recv(100), flush=True)\n"
              "    except OSError: print('connection', flush=True)\n")

    def __init__(self, test: unittest.TestCase):
        self.port, self.why, self._proc = None, "", None
        python = "/usr/bin/python3"  # readable by nobody, unlike an interpreter under /root
        if os.geteuid() != 0 or not shutil.which("setpriv") or not os.path.exists(python):
            self.why = "needs root, setpriv and /usr/bin/python3 to listen as nobody"
            return
        nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]  # execs: kill() reaches it
        self._proc = subprocess.Popen([*nobody, python, "-u", "-c", self.SCRIPT], cwd="/",
                                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        test.addCleanup(self.heard)
        self.port = int(self._proc.stdout.readline())

    def heard(self) -> str:
        """Ends the listener; what reached it."""
        if self._proc is None:
            return ""
        self._proc.kill()
        out = self._proc.communicate(timeout=10)[0]
        self._proc = None
        return out

if __name__ == "__main__":
    unittest.main()
