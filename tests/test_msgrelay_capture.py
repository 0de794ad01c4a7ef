"""Notification capture without a bus: client names, body parsing, repeats, settings, storage, purge, demo."""

import datetime as dt
import pathlib
import sqlite3
import tempfile
import time
import unittest

from test_msgrelay_support import LocalClock, RunningCore

from msgrelay import demo_data
from msgrelay.capture import clients, login_start, parse
from msgrelay.capture import diagnostics as capture_checks
from msgrelay.capture.dbus_monitor import Sighting


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
        ]
        for title, body, expected in cases:
            with self.subTest(body=body):
                got = parse.parse(title, body, fallback_session="微信")
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
        second = RunningCore(config_path=self.core.config_path, local_time=self.clock)
        self.addCleanup(second.close)
        self.assertFalse(second.core.messages.writable)
        self.assertIsNone(second.core.capture.offer(wechat("项目群", "张三: 第二条")))
        items = {item["key"]: item for item in second.state()["setup"]["items"]}
        self.assertEqual(items["message_capture"]["status"], "blocked")
        self.assertIn("另一个本地核心", items["message_capture"]["description"])
        self.assertEqual([e["content"] for e in second.get("/api/events")[1]["events"]], ["第一条"])  # reads it
        self.offer(wechat("项目群", "张三: 第三条"))
        self.assertEqual(len(second.get("/api/events")[1]["events"]), 2)
        second.close()
        self.core.close()
        third = RunningCore(config_path=self.core.config_path, local_time=self.clock)
        self.addCleanup(third.close)
        self.assertTrue(third.core.messages.writable)
        for name in ("msgrelay.db", "msgrelay.db-wal", "msgrelay.db.lock"):
            path = third.core.messages.path.with_name(name)
            if path.exists():
                self.assertEqual(path.stat().st_mode & 0o077, 0, name)


if __name__ == "__main__":
    unittest.main()


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
