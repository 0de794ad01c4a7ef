"""Notification capture without a bus: client names, body parsing, repeats, settings, storage, purge, demo."""

import contextlib
import datetime as dt
import json
import os
import pathlib
import shutil
import sqlite3
import tempfile
import time
import unittest
import urllib.parse

from test_msgrelay_support import ROOT, LocalClock, RunningCore

from msgrelay import demo_data
from msgrelay.capture import clients, login_start, parse
from msgrelay.capture import diagnostics as capture_checks
from msgrelay.capture.dbus_monitor import Sighting
from msgrelay.message_db import MessageDB, NewMessage
from msgrelay.triage.stored import COLUMNS, key_of
from msgrelay.triage.sorting import Profile


def wechat(title, body, **extra):
    return Sighting("wechat", "微信", "notify", title, body, **extra)


class ClientNameTests(unittest.TestCase):
    def test_names_and_ids(self):
        cases = [("微信", "wechat"), ("WeChat", "wechat"), ("wechat", "wechat"), ("com.tencent.WeChat", "wechat"),
                 ("COM.TENCENT.WECHAT", "wechat"), ("wechat.desktop", "wechat"), ("企业微信", "wecom"),
                 ("WeCom", "wecom"), ("wxwork", "wecom"), ("com.qq.weixin.work.deepin", "wecom"),
                 ("com.tencent.WeCom", "wecom"), ("Thunderbird", None), ("微信读书", None), ("wechatty", None),
                 ("razo", None), ("org.razo.Razo", None),  # razo's own notifications
                 ("", None), (None, None)]
        for name, target in cases:
            with self.subTest(name=name):
                self.assertEqual(clients.target_of_name(name), target)
        self.assertEqual(clients.target_of("Firefox", "com.tencent.WeChat"), ("wechat", "com.tencent.WeChat"))
        self.assertIsNone(clients.target_of("Firefox", ""))


class DemoMarkTests(unittest.TestCase):
    def test_mark_survives_a_leading_label(self):
        for text, expected in [("请提交周报", "【示例】 请提交周报"),
                               ("提醒：明天 19:00 私教课", "提醒：【示例】 明天 19:00 私教课"),
                               ("本周例会改到 11:00", "【示例】 本周例会改到 11:00"),
                               ("Note: hi", "Note: 【示例】 hi")]:
            self.assertEqual(demo_data.marked(text), expected)


class ParseTests(unittest.TestCase):
    def test_group_and_private_bodies(self):
        cases = [
            ("项目群", "张三: 明天交周报", ("项目群", "group", "张三", "明天交周报", "text")),
            ("项目群", "张三：明天交周报", ("项目群", "group", "张三", "明天交周报", "text")),
            ("项目群", "[3条]张三: 明天交周报", ("项目群", "group", "张三", "明天交周报", "text")),
            ("项目群", "<b>张三</b>: a &amp; b", ("项目群", "group", "张三", "a & b", "text")),
            ("项目群", "张三: [图片]", ("项目群", "group", "张三", "[图片]", "image")),
            ("李四", "今晚吃什么", ("李四", "direct", "李四", "今晚吃什么", "text")),
            ("李四", "[2条] 今晚吃什么", ("李四", "direct", "李四", "今晚吃什么", "text")),
            ("李四", "李四: 在吗", ("李四", "direct", "李四", "在吗", "text")),
            ("李四", "看这个 https://example.com/a", ("李四", "direct", "李四", "看这个 https://example.com/a", "text")),
            ("王五", "明天10:30开会", ("王五", "direct", "王五", "明天10:30开会", "text")),
            ("", "你好", ("微信", "direct", "微信", "你好", "text")),
            ("王老师", "地址：北京市海淀区", ("王老师", "direct", "王老师", "地址：北京市海淀区", "text")),
            ("王老师", "张三：明天见", ("王老师", "direct", "王老师", "张三：明天见", "text"), "direct"),
            ("项目群", "提醒：明天交周报", ("项目群", "group", "项目群", "提醒：明天交周报", "text"), "group"),
            ("项目群", "张三：明天交周报", ("项目群", "group", "张三", "明天交周报", "text"), "group"),
            ("李四", "长" * 4001, ("李四", "direct", "李四", "长" * 4000 + parse.SHORTENED, "text")),
        ]
        for title, body, expected, *known in cases:
            with self.subTest(body=body[:20]):
                got = parse.parse(title, body, fallback_session="微信", known_kind=lambda session: (known or [None])[0])
                self.assertEqual((got.session_name, got.session_kind, got.sender_name, got.content,
                                  got.content_type), expected)
        for body in ("", "   ", "[5条]"):
            self.assertIsNone(parse.parse("项目群", body, fallback_session="微信"))


class CaptureTests(unittest.TestCase):
    def setUp(self):
        self.clock = LocalClock()
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.core = RunningCore(config_path=pathlib.Path(folder.name) / "bridge.config.json", local_time=self.clock)
        self.addCleanup(self.core.close)

    def offer(self, sighting):
        return self.core.core.capture.offer(sighting)

    def events(self):
        return self.core.get("/api/events?limit=500")[1]["events"]

    def test_repeats_and_replacements(self):
        steps = [  # (seconds later, sighting, stored?)
            (0, wechat("项目群", "张三: 收到"), True),
            (2, wechat("项目群", "张三: 收到"), False),  # announced twice
            (2, Sighting("wechat", "com.tencent.WeChat", "gtk", "项目群", "张三: 收到"), False),  # second path
            (30, wechat("项目群", "张三: 收到"), True),  # said again later
            (1, wechat("项目群", "[2条]张三: 收到", key=("notify", ":1.9", 4), replacing=True), False),
            (1, wechat("项目群", "[3条]李四: 好的", key=("notify", ":1.9", 4), replacing=True), True),
            (60, wechat("项目群", "[3条]李四: 好的", key=("notify", ":1.9", 4), replacing=True), False),
            (0, Sighting("wechat", "com.tencent.WeChat", "gtk", "家人群", "妈妈: 吃饭", ("app", "x", "m1")), True),
            (60, Sighting("wechat", "com.tencent.WeChat", "gtk", "家人群", "妈妈: 吃饭", ("app", "x", "m1")), False),
            (1, Sighting("wechat", "com.tencent.WeChat", "gtk", "家人群", "爸爸: 好", ("app", "x", "m1")), True),
        ]
        for number, (seconds, sighting, stored) in enumerate(steps):
            with self.subTest(step=number):
                self.clock.advance(seconds=seconds)
                self.assertEqual(self.offer(sighting) is not None, stored)
        events = self.events()
        self.assertEqual([(e["sender_name"], e["content"]) for e in events],
                         [("爸爸", "好"), ("妈妈", "吃饭"), ("李四", "好的"), ("张三", "收到"), ("张三", "收到")])
        self.assertEqual(self.core.core.capture.counters("wechat").repeats, 5)

    def test_settings_decide_what_is_stored(self):
        self.core.post("/api/config/native/save", {"wecom": {"rule_mode": "allowlist", "allowlist_names": "项目群"}})
        wecom = lambda chat: Sighting("wecom", "企业微信", "notify", chat, "王芳: 周五前提交")  # noqa: E731
        self.assertIsNotNone(self.offer(wecom("项目群")))
        self.assertIsNone(self.offer(wecom("闲聊群")))
        self.assertEqual(self.core.core.capture.counters("wecom").outside_allowlist, 1)
        for body in ({"wechat": {"enabled": False}}, {"wechat": {"enabled": True, "source": "accessibility"}}):
            with self.subTest(body=body):
                self.core.post("/api/config/native/save", body)
                self.assertIsNone(self.offer(wechat("家人群", "妈妈: 吃饭")))
        self.assertIsNone(self.offer(wechat("家人群", "")))  # previews off: nothing to store
        self.assertEqual([e["session_name"] for e in self.events()], ["项目群"])

    def test_exclusion_words_never_hide_what_is_addressed_to_the_user(self):
        self.core.post("/api/config/native/save", {"notification_exclude_keywords": "优惠",
                                                   "user_profile": {"display_name": "李明", "aliases": ""}})
        cases = [  # (sighting, excluded, a to-do)
            (Sighting("wecom", "企业微信", "notify", "项目群", "张三: @李明 客户要的优惠方案今天下班前发我，急"), False, True),
            (wechat("王芳", "优惠的报价单今天发我"), False, True),  # one-to-one
            (wechat("福利群", "小美: 限时优惠，今天下单全场 5 折，大家快来"), True, False),
        ]
        for sighting, _, _ in cases:
            self.assertIsNotNone(self.offer(sighting))
        plain = {e["content"]: e for e in self.events()}
        todos = [e["content"] for e in self.core.get("/api/events?kind=todo")[1]["events"]]
        found = [e["content"] for e in self.core.get("/api/search?q=%E4%BC%98%E6%83%A0")[1]["events"]]  # 优惠
        counts = self.core.state()["summary"]["counts"]
        for sighting, excluded, todo in cases:
            content = sighting.body.split(": ", 1)[-1]
            with self.subTest(content=content):
                self.assertIs(plain[content]["sorting"]["excluded"], excluded)
                self.assertEqual(content in todos, todo)
                self.assertIn(content, found)
        self.assertEqual((counts["todo"], counts["needs_you"]), (2, 2))

    def test_demo_hand_over_restart_and_purge(self):
        self.assertIn("【示例】", self.events()[0]["content"])
        self.assertIsNotNone(self.offer(wechat("项目群", "张三: 明天交周报")))
        events = self.events()
        self.assertEqual([(e["session_name"], e["sender_name"], e["content"], e["chat_target"]) for e in events],
                         [("项目群", "张三", "明天交周报", "wechat")])
        self.assertEqual(events[0]["sent_at"], self.clock.now.strftime("%Y-%m-%d %H:%M"))
        state = self.core.state()
        self.assertNotIn("demo_data", {item["key"] for item in state["setup"]["items"]})
        self.assertEqual(state["summary"]["total_messages"], 1)
        self.assertIn("周报", "".join(state["summary"]["action_items"]))
        ask = self.core.get("/api/ask?hours=168&q=%E5%91%A8%E6%8A%A5")[1]  # 周报
        self.assertIn("明天交周报", ask["answer"])
        self.assertNotIn("【示例】", ask["answer"])
        self.core.close()

        again = RunningCore(config_path=self.core.config_path, local_time=self.clock)
        self.addCleanup(again.close)
        self.assertEqual(again.get("/api/events")[1]["events"], events)
        replaced = lambda body: wechat("项目群", body, key=("notify", ":1.7", 3), replacing=True)  # noqa: E731
        self.assertIsNone(again.core.capture.offer(replaced("[2条]张三: 明天交周报")))  # shown before the restart
        self.assertIsNotNone(again.core.capture.offer(replaced("[3条]张三: 周报模板在群文件")))
        again.close()

        self.clock.advance(days=7, minutes=1)
        later = RunningCore(config_path=self.core.config_path, local_time=self.clock)  # purges at start
        self.addCleanup(later.close)
        self.assertEqual(later.get("/api/events")[1]["events"], [])  # and the demo does not come back
        with sqlite3.connect(later.core.messages.path) as db:
            self.assertEqual(db.execute("SELECT COUNT(*) FROM messages").fetchone()[0], 0)

    def test_hourly_purge_runs_on_its_own(self):
        core = RunningCore(local_time=self.clock, capture_options={"purge_interval": 0.02})
        self.addCleanup(core.close)
        core.core.capture.offer(wechat("项目群", "张三: 旧消息"))
        self.clock.advance(days=8)
        deadline = time.monotonic() + 5
        while core.core.messages.since(self.clock.now - dt.timedelta(days=30)) and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertEqual(core.core.messages.since(self.clock.now - dt.timedelta(days=30)), [])

    def test_one_writer_per_database(self):
        self.offer(wechat("项目群", "张三: 第一条"))
        second = RunningCore(config_path=self.core.config_path, local_time=self.clock,
                             capture_options={"check_interval": 0.02})
        self.addCleanup(second.close)
        self.assertFalse(second.core.messages.writable)
        self.assertIsNone(second.core.capture.offer(wechat("项目群", "张三: 第二条")))
        items = {item["key"]: item for item in second.state()["setup"]["items"]}
        self.assertEqual(items["message_capture"]["status"], "blocked")
        self.assertIn("另一个本地核心", items["message_capture"]["description"])
        self.assertEqual([e["content"] for e in second.get("/api/events")[1]["events"]], ["第一条"])  # reads it
        self.offer(wechat("项目群", "张三: 第三条"))
        self.assertEqual(len(second.get("/api/events")[1]["events"]), 2)
        self.core.close()
        deadline = time.monotonic() + 5
        while not second.core.messages.writable and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertIsNotNone(second.core.capture.offer(wechat("项目群", "张三: 第四条")))  # took over
        self.assertEqual([e["content"] for e in second.get("/api/events")[1]["events"]], ["第四条", "第三条", "第一条"])
        second.close()
        third = RunningCore(config_path=self.core.config_path, local_time=self.clock)
        self.addCleanup(third.close)
        self.assertTrue(third.core.messages.writable)
        for name in ("msgrelay.db", "msgrelay.db-wal", "msgrelay.db.lock"):
            path = third.core.messages.path.with_name(name)
            if path.exists():
                self.assertEqual(path.stat().st_mode & 0o077, 0, name)


def store(folder, texts, start: dt.datetime, step=dt.timedelta(minutes=1), session="项目群"):
    """Stores the texts through message_db as an outside tool would, oldest first, `step` apart."""
    db = MessageDB(folder, log=lambda line: None)
    for number, text in enumerate(texts):
        db.insert(NewMessage(start + number * step, "wechat", session, "group", "张三", text, "text", "微信", "notify"))
    db.close()


class StoreTests(unittest.TestCase):
    def setUp(self):
        self.clock = LocalClock()
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.folder = pathlib.Path(tmp.name)
        self.path = self.folder / "msgrelay.db"

    def start(self, check_interval=0.02) -> RunningCore:
        core = RunningCore(config_path=self.folder / "bridge.config.json", local_time=self.clock,
                           capture_options={"check_interval": check_interval})
        self.addCleanup(core.close)
        return core

    @staticmethod
    def contents(core) -> list[str]:
        return [e["content"] for e in core.get("/api/events?limit=1000")[1]["events"]]

    def test_each_storage_fault_is_said_and_loses_nothing_reported_stored(self):
        def full(core):  # SQLite's disk-full error: no page may be added and no room is left in one
            conn = core.core.messages._conn
            conn.execute(f"PRAGMA max_page_count={conn.execute('PRAGMA page_count').fetchone()[0]}")
            for size in (2000, 200, 20, 0):  # rows of no client: never served, they only take the room
                with contextlib.suppress(sqlite3.OperationalError):
                    while True:
                        conn.execute("INSERT INTO messages (captured_at, chat_target, session_name, session_kind, "
                                     "sender_name, content, content_type, app, path) VALUES (?, '', '', '', '', "
                                     "?, '', '', '')", (self.clock.now.timestamp(), "x" * size))

        def other_store(core, sql=""):
            other = self.folder / "other"
            store(other, ["别处的消息"], self.clock.now - dt.timedelta(hours=1))
            sqlite3.connect(other / "msgrelay.db").executescript(sql).connection.close()
            os.replace(other / "msgrelay.db", self.path)
            also.append("别处的消息")

        def older_copy(core):  # the file as it was before its -wal, with a message of its own
            (self.folder / "other").mkdir()
            shutil.copy(self.path, self.folder / "other" / "msgrelay.db")
            other_store(core)

        def after_one(spoil):  # the running file's -wal holds a message, shown, when it goes
            return lambda core: (core.core.capture.offer(wechat("项目群", "张三: 出事前")), also.append("出事前"),
                                 self.contents(core), spoil(core))

        def long_store_cut_in_half():  # thousands of short rows, the end of the file gone
            self.path.unlink()
            store(self.folder, [f"很多条中的第 {n} 条" for n in range(2000)], self.clock.now - dt.timedelta(hours=1))
            os.truncate(self.path, self.path.stat().st_size // 2)

        def garbage(offset_share):
            def spoil():
                with open(self.path, "r+b") as handle:
                    handle.seek(int(self.path.stat().st_size * offset_share))
                    handle.write(b"\xa5" * 8192)
            return spoil

        cases = [  # (fault, made before start, made while running, text of the capture item, all kept)
            ("disk full", None, full, "磁盘空间已满", True),
            ("read-only", None, lambda core: core.core.messages._conn.execute("PRAGMA query_only=ON"), "只读", True),
            ("deleted", None, after_one(lambda core: self.path.unlink()), "被删除，已重新建立并写回 41 条", True),
            ("replaced", None, after_one(other_store), "被替换，已改用新文件，并补回了 41 条", True),
            ("replaced by an older copy", None, after_one(older_copy), "被替换，已改用新文件，并补回了 1 条", True),
            ("replaced by a file refusing long texts", None, lambda core: other_store(core, "CREATE TRIGGER t BEFORE "
             "INSERT ON messages WHEN length(NEW.content) > 99 BEGIN SELECT RAISE(ABORT, 'long'); END"),
             "此前有 40 条通知没能保存", False),
            ("garbage in the middle", garbage(0.5), None, "已损坏：已把还能读出的", False),
            ("garbage, found reading it whole", None,  # the sortings written at start go into the file first
             lambda core: (core.core.messages._conn.execute("PRAGMA wal_checkpoint(TRUNCATE)").fetchall(),
                           after_one(lambda core: (garbage(0.5)(), core.core.messages.held.reload()))(core)),
             "已损坏：已把还能读出的", False),
            ("truncated", lambda: os.truncate(self.path, self.path.stat().st_size // 2), None, "已损坏", False),
            ("no database at all", lambda: self.path.write_bytes(b"\0" * 4096), None, "已损坏", False),
            ("a long store cut in half", long_store_cut_in_half, None, "其余读不出的消息已丢失", False),
            ("deleted while stopped", lambda: self.path.unlink(), None, "在核心未运行时被删除或移走", False),
            ("emptied while stopped", lambda: self.path.write_bytes(b""), None, "换成了没有消息的文件", False),
            ("cannot be opened", lambda: (self.path.unlink(), self.path.mkdir()), None, "无法打开", False),
        ]
        mends = {"disk full": lambda core: core.core.messages._conn.execute("PRAGMA max_page_count=1000000"),
                 "cannot be opened": lambda core: self.path.rmdir()}
        checks = {"read-only": 3600.0}  # no check opens the file afresh while the three are offered
        for fault, spoil_file, spoil_running, said, all_kept in cases:
            with self.subTest(fault):
                self.setUp()
                stored = [f"第 {n} 条：请确认方案" + "。" * 300 for n in range(40)]
                store(self.folder, stored, self.clock.now - dt.timedelta(hours=2))
                if spoil_file:
                    spoil_file()
                core = self.start(checks.get(fault, 0.02))
                also = []  # what the spoiling stored, shown as well
                if spoil_running:
                    spoil_running(core)
                outcomes = [core.core.capture.offer(wechat("项目群", f"张三: 新消息 {n}")) for n in range(3)]
                item = next(i for i in core.state()["setup"]["items"] if i["key"] == "message_capture")
                self.assertIn(said, item["description"] + item["action"])
                shown = self.contents(core)
                self.assertTrue(set(also) <= set(shown), also)
                self.assertFalse([c for c in shown if demo_data.DEMO_MARK in c])  # never the demo instead
                kept = [c for c in shown if c.startswith("第 ")]
                self.assertEqual(len(kept) == len(stored), all_kept, len(kept))
                saved = [f"新消息 {n}" for n, number in enumerate(outcomes) if number is not None]
                self.assertEqual([c for c in shown if c.startswith("新消息")], saved[::-1])
                if len(saved) < 3:
                    self.assertIn(f"已有 {3 - len(saved)} 条通知没有保存", item["description"])
                if fault in mends:  # saving resumes on its own once the cause is gone
                    mends[fault](core)
                    deadline = time.monotonic() + 5
                    while core.core.capture.offer(wechat("项目群", "张三: 修好以后")) is None and time.monotonic() < deadline:
                        time.sleep(0.02)
                    saved.append("修好以后")
                    item = next(i for i in core.state()["setup"]["items"] if i["key"] == "message_capture")
                    self.assertRegex(item["description"], r"此前有 \d+ 条通知没能保存。")
                core.close()
                again = self.start()  # what was reported stored is still there after a restart
                self.assertTrue(set(saved + kept + also) <= set(self.contents(again)))

    def test_a_file_replaced_while_read_is_judged_afresh(self):
        store(self.folder, ["第一条"], self.clock.now)
        store(self.folder / "other", ["广告：第一条"], self.clock.now)  # the same id, a text the settings exclude
        core = self.start(check_interval=3600.0)
        self.assertEqual(self.contents(core), ["第一条"])
        other, answer = self.folder / "other" / "msgrelay.db", core.core.messages.has_real_data
        core.core.messages.has_real_data = lambda: (answer(), other.exists() and os.replace(other, self.path))[0]
        events = core.get("/api/events?limit=1000")[1]["events"]  # replaced just after the look, as by another thread
        self.assertEqual([(e["content"], e["sorting"]["excluded"]) for e in events],
                         [("第一条", False), ("广告：第一条", True)])  # the one kept is added; id 1 is the advert now

    def test_an_older_versions_files_become_private_and_links_are_refused(self):
        elsewhere = pathlib.Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, elsewhere)
        store(elsewhere, ["别处的消息"], self.clock.now)
        (elsewhere / "bridge.config.json").write_text(json.dumps({"remote_access_token": "elsewhere-token"}))
        (elsewhere / "plain.txt").write_text("别处的文件")
        cases = [  # (file replaced by a link, where it leads, what the capture item says)
            (None, None, None),  # no link: an older version's modes only
            ("bridge.config.json", "bridge.config.json", None),
            ("msgrelay.db", "msgrelay.db", "符号链接"), ("msgrelay.db.lock", "plain.txt", "符号链接"),
            ("msgrelay.db-wal", "plain.txt", None), ("native-core.log", "plain.txt", None),
        ]
        for name, target, said in cases:
            with self.subTest(name=name):
                self.setUp()
                store(self.folder, ["第一条"], self.clock.now)
                config = self.folder / "bridge.config.json"
                config.write_text(json.dumps({"remote_access_token": "older-token-1"}))
                (self.folder / "native-core.log").write_text("older lines\n")
                for file, mode in (("bridge.config.json", 0o644), ("msgrelay.db", 0o644), ("msgrelay.db.lock", 0o666),
                                   ("native-core.log", 0o640), (".", 0o755)):
                    os.chmod(self.folder / file, mode)
                if name:
                    (self.folder / name).unlink(missing_ok=True)
                    (self.folder / name).symlink_to(elsewhere / target)
                core = self.start()
                state = core.state()
                item = next(i for i in state["setup"]["items"] if i["key"] == "message_capture")
                self.assertEqual(os.stat(self.folder).st_mode & 0o777, 0o700)
                for file in {"bridge.config.json", "msgrelay.db", "msgrelay.db.lock", "native-core.log"} - {name}:
                    self.assertEqual((self.folder / file).stat().st_mode & 0o777, 0o600, file)
                self.assertIs(state["config"]["remote_access_protected"], name != "bridge.config.json")
                self.assertEqual(self.contents(core), [] if name == "msgrelay.db" else ["第一条"])  # a lock only stops capture
                if said:
                    self.assertIn(said, item["description"])
                if name:
                    self.assertIn(f"{self.folder / name} is a symbolic link", "\n".join(core.lines))
                self.assertEqual((elsewhere / "plain.txt").read_text(), "别处的文件")  # never written through
                self.assertEqual(os.stat(elsewhere / "msgrelay.db").st_mode & 0o777, 0o600)
                core.post("/api/config/native/save", {"notify_todos_and_mentions": False})
                self.assertFalse(config.is_symlink())  # a save puts a plain file in place of a link
                self.assertIn("elsewhere-token", (elsewhere / "bridge.config.json").read_text())
                if name == "msgrelay.db-wal":
                    self.assertFalse((self.folder / name).is_symlink())  # removed; SQLite made its own
                core.close()

    def test_old_schema_migrates_and_purge_gives_space_back(self):
        with sqlite3.connect(self.path) as db:  # the first schema, without a version
            db.executescript("""
                CREATE TABLE messages (id INTEGER PRIMARY KEY AUTOINCREMENT, captured_at REAL NOT NULL,
                    chat_target TEXT NOT NULL, session_name TEXT NOT NULL, session_kind TEXT NOT NULL,
                    sender_name TEXT NOT NULL, content TEXT NOT NULL, content_type TEXT NOT NULL,
                    app TEXT NOT NULL, path TEXT NOT NULL);
                CREATE INDEX messages_by_time ON messages (captured_at);
                CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);""")
            db.execute("INSERT INTO messages VALUES (7, ?, 'wecom', '项目群', 'group', '王芳', '旧文件里的消息', 'text', "
                       "'企业微信', 'notify')", (self.clock.now.timestamp(),))
        store(self.folder, ["旧" * 2000] * 300, self.clock.now - dt.timedelta(days=8))  # migrates, then fills
        with sqlite3.connect(self.path) as db:
            self.assertEqual(db.execute("PRAGMA user_version").fetchone()[0], 1)
            self.assertEqual(db.execute("PRAGMA auto_vacuum").fetchone()[0], 2)  # incremental
        size = self.path.stat().st_size
        core = self.start()  # purges what is older than 7 days at start
        self.assertEqual(core.get("/api/events")[1]["events"][0]["id"], 7)
        self.assertLess(self.path.stat().st_size, size / 4)
        with sqlite3.connect(self.path) as db:  # the sorting's columns added, the old message's sorting stored
            self.assertLessEqual(set(COLUMNS), {row[1] for row in db.execute("PRAGMA table_info(messages)")})
            self.assertEqual(db.execute("SELECT sorted_for IS NOT NULL FROM messages WHERE id = 7").fetchone(), (1,))

    def test_a_store_never_sorted_is_sorted_and_each_sorting_stays_with_its_message(self):
        store(self.folder, ["@王雪 今天把报价发我", "收到"], self.clock.now - dt.timedelta(minutes=5))  # by a tool: unsorted
        store(self.folder, ["@王雪 明天把合同发我"], self.clock.now - dt.timedelta(minutes=10))  # older, stored later
        core = RunningCore(config_path=self.folder / "bridge.config.json", local_time=self.clock,
                           resort_options={"on_demand": 0})  # everything stale is sorted by the thread
        self.addCleanup(core.close)
        core.post("/api/config/native/save", {"user_profile": {"display_name": "王雪", "aliases": ""}})
        expected = [("收到", False), ("@王雪 今天把报价发我", True), ("@王雪 明天把合同发我", True)]
        deadline = time.monotonic() + 10
        while True:
            found = [(e["content"], e["sorting"]["todo"]) for e in core.get("/api/events")[1]["events"]]
            if found == expected or time.monotonic() > deadline:
                break
            time.sleep(0.02)
        self.assertEqual(found, expected)

    def test_sortings_are_read_back_and_made_again_when_the_profile_changes(self):
        def todo(core):
            return core.get("/api/events")[1]["events"][0]["sorting"]["todo"]

        def stored_for_now(core):
            deadline = time.monotonic() + 10  # written back by the resorter's thread
            key = key_of(Profile.from_config(core.core.config.snapshot()))
            while time.monotonic() < deadline:
                with sqlite3.connect(self.path) as db:
                    if db.execute("SELECT sorted_for FROM messages").fetchone()[0] == key:
                        return
                time.sleep(0.02)
            self.fail("the sorting for the profile now was not stored")

        for on_demand in (None, 0):  # a request sorts the stale messages itself / the thread sorts them
            with self.subTest(on_demand=on_demand):
                self.setUp()
                store(self.folder, ["@王雪 今天下班前把报价单发我"], self.clock.now)
                core = self.start()
                core.post("/api/config/native/save", {"user_profile": {"display_name": "王雪", "aliases": ""}})
                stored_for_now(core)
                core.close()
                with sqlite3.connect(self.path) as db:
                    db.execute("UPDATE messages SET sort_todo = 0")  # what is stored is served
                options = {"on_demand": on_demand} if on_demand is not None else None
                core = RunningCore(config_path=self.folder / "bridge.config.json", local_time=self.clock,
                                   resort_options=options)
                self.addCleanup(core.close)
                self.assertIs(todo(core), False)
                core.post("/api/config/native/save", {"user_profile": {"aliases": "雪姐"}})
                if on_demand is None:
                    self.assertIs(todo(core), True)
                stored_for_now(core)
                self.assertIs(todo(core), True)

    def test_search_finds_what_razo_finds_in_the_whole_week(self):
        cases = json.loads((ROOT / "tests/fixtures/search/rule.json").read_text(encoding="utf-8"))["cases"]
        texts = [text for text, _, _ in cases]
        store(self.folder, ["三天前的报价单 v7"], self.clock.now - dt.timedelta(days=3))
        store(self.folder, texts + [f"第 {n} 条新消息" for n in range(200)], self.clock.now - dt.timedelta(days=2))
        store(self.folder, ["广告：领取优惠券"], self.clock.now - dt.timedelta(days=1), session="报价单群")
        core = self.start()

        def search(query, extra=""):
            status, doc = core.get(f"/api/search?q={urllib.parse.quote(query)}{extra}")
            self.assertEqual(status, 200, doc)
            return [e["content"] for e in doc["events"]]

        for text, query, matches in cases:
            with self.subTest(text=text, query=query):
                self.assertEqual(text in search(query), matches)
        self.assertNotIn("三天前的报价单 v7", self.contents(core)[:120])  # beyond razo's loaded messages
        self.assertEqual(search("报价单 V7"), ["三天前的报价单 v7"])
        self.assertEqual(search("报价单"), ["广告：领取优惠券", "abc 报价单", "ＡＢＣ 报价单", "三天前的报价单 v7"])  # newest first
        excluded = [e["sorting"]["excluded"] for e in core.get("/api/search?q=%E6%8A%A5%E4%BB%B7%E5%8D%95")[1]["events"]]
        self.assertEqual(excluded, [True, False, False, False])  # the advert's chat matches; it is found, marked
        self.assertEqual(search("报价单", "&hours=48"), ["广告：领取优惠券", "abc 报价单", "ＡＢＣ 报价单"])
        self.assertEqual(search("新消息", "&limit=2"), ["第 199 条新消息", "第 198 条新消息"])
        self.assertEqual(search("张三", "&limit=1"), ["广告：领取优惠券"])  # by sender
        self.assertEqual(core.get("/api/search?q=a&limit=x")[0], 400)


class LoginStartTests(unittest.TestCase):
    """Whether the core starts at login: read from the user's configuration, said in the capture item."""

    def test_what_counts_as_starting_at_login(self):
        wants = "systemd/user/graphical-session.target.wants/razo-core.service"
        entry = "autostart/org.razo.Razo.Core.desktop"
        cases = [
            ("nothing", {}, False),
            ("unit enabled", {wants: "link"}, True),
            ("unit enabled for every user", {"/etc/default.target.wants/razo-core.service": "link"}, True),
            ("unit copied, not enabled", {"systemd/user/razo-core.service": "[Unit]\n"}, False),
            ("another unit enabled", {"systemd/user/default.target.wants/other.service": "link"}, False),
            ("autostart entry", {entry: "[Desktop Entry]\nExec=/usr/libexec/razo/razo-core\n"}, True),
            ("autostart entry hidden", {entry: "[Desktop Entry]\nHidden = true\n"}, False),
        ]
        for name, files, expected in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as tmp:
                root = pathlib.Path(tmp)
                for path, content in files.items():
                    target = root / "etc-user" / path[len("/etc/"):] if path.startswith("/etc/") else root / "conf" / path
                    target.parent.mkdir(parents=True, exist_ok=True)
                    if content == "link":
                        target.symlink_to("/usr/lib/systemd/user/razo-core.service")  # dangling here: still on
                    else:
                        target.write_text(content, encoding="utf-8")
                system = (str(root / "etc-user"),)
                self.assertEqual(login_start.enabled({"XDG_CONFIG_HOME": str(root / "conf")}, system), expected)
                # A relative XDG_CONFIG_HOME is ignored: ~/.config is read instead.
                (root / "home").mkdir()
                (root / "home" / ".config").symlink_to(root / "conf")
                self.assertEqual(login_start.enabled({"XDG_CONFIG_HOME": "conf", "HOME": str(root / "home")}, system),
                                 expected)

    def test_capture_item_says_what_is_missed_while_off(self):
        ready = {"key": "message_capture", "status": "ready", "description": "正在监听。", "action": "无需操作。"}
        blocked = dict(ready, status="blocked", action="在桌面会话里启动 razo。")
        off = dict(ready, status="disabled", action="在“读取方式”里选择“系统通知数据库”。")
        note, advice = capture_checks.LOGIN_START_OFF, capture_checks.LOGIN_START_ACTION
        cases = [(ready, False, "正在监听。" + note, advice), (ready, True, "正在监听。", "无需操作。"),
                 (blocked, False, "正在监听。" + note, blocked["action"]), (off, False, "正在监听。", off["action"])]
        for item, on, description, action in cases:
            with self.subTest(status=item["status"], on=on):
                got = capture_checks._with_login_start(item, on)
                self.assertEqual((got["description"], got["action"]), (description, action))
        for on in (False, True):  # the state asks on every request
            core = RunningCore(reads_from_login=lambda: on)
            self.addCleanup(core.close)
            items = {item["key"]: item for item in core.state()["setup"]["items"]}
            self.assertEqual(note in items["message_capture"]["description"], not on)


if __name__ == "__main__":
    unittest.main()
