"""The stand-in core over HTTP: documents, settings, to-dos, access, bad input and injected faults."""

import datetime
import http.client
import json
import os
import re
import socket
import subprocess
import sys
import time
import unittest
import urllib.parse

from test_msgrelay_support import ROOT, RunningCore

from msgrelay.faults import FaultPlan  # noqa: E402 - the support module puts the checkout on the path

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
        core.post("/api/config/native/save", {"remote_access_token": "s3cret"})
        self.assertIs(core.state()["agent_access"]["token_required"], True)
        cases = [({}, 401), ({"Quillmere": "wrong"}, 401), ({"Quillmere": "s3cret"}, 200)]
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

    def raw(self, request: bytes) -> tuple[int, dict]:
        with socket.create_connection(("127.0.0.1", self.core.port), timeout=5) as sock:
            sock.sendall(request)
            data = b""
            while chunk := sock.recv(65536):
                data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        return int(head.split()[1]), json.loads(body)

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
        cases = [
            ("too large", b"POST /api/chat HTTP/1.1\r\nContent-Length: 2000000\r\n\r\n{", 413),
            ("chunked", b"POST /api/chat HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n", 411),
            ("bad length", b"POST /api/chat HTTP/1.1\r\nContent-Length: x\r\n\r\n", 400),
            ("no length is an empty body", b"POST /api/remote/context/push HTTP/1.1\r\nConnection: close\r\n\r\n", 200),
        ]
        for name, request, status in cases:
            with self.subTest(name):
                self.assertEqual(self.raw(request)[0], status)
        self.assertEqual(self.core.get("/api/auth/status")[0], 200)  # still serving


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
        import tempfile
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
        import tempfile
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
        import tempfile
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
