#!/usr/bin/python3
"""The core reading notifications on a private session bus, with a stand-in notification server.

Run by ctest as msgrelay_bus_py; exits 77 (skipped) when dbus-daemon or python3-jeepney is missing.
"""

import datetime as dt
import json
import os
import pathlib
import sys
import tempfile
import time
import unittest
import urllib.parse

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent / "support"))
from notification_bus import DENY_MONITORING, SKIP, NotificationServer, PrivateBus, Sender, missing  # noqa: E402
from test_msgrelay_support import LocalClock, RunningCore  # noqa: E402

from msgrelay.notify.opener import Opener  # noqa: E402

DEADLINE = 2.0  # seconds a notification may take to be served


def poll(probe, seconds: float = DEADLINE):
    """probe() until it returns something true or the time is up; returns the last result."""
    end = time.monotonic() + seconds
    while True:
        result = probe()
        if result or time.monotonic() >= end:
            return result
        time.sleep(0.02)


class BusCase(unittest.TestCase):
    policy = ""

    def setUp(self):
        self.bus = PrivateBus(self.policy)
        self.addCleanup(self.bus.close)
        self.server = NotificationServer(self.bus.address)
        self.addCleanup(self.server.close)
        self.send = Sender(self.bus.address)
        self.addCleanup(self.send.close)
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.folder = pathlib.Path(folder.name)
        self.config_path = self.folder / "bridge.config.json"
        self.core = self.start_core(**self.core_options())

    def core_options(self) -> dict:
        return {}

    def start_core(self, **options) -> RunningCore:
        core = RunningCore(config_path=self.config_path, bus_address=self.bus.address, **options)
        self.addCleanup(core.close)
        return core

    def capture_state(self, core=None):
        items = {item["key"]: item for item in (core or self.core).state()["setup"]["items"]}
        return items["message_capture"]["status"]

    def wait_monitoring(self, core=None):
        self.assertEqual(poll(lambda: self.capture_state(core) == "ready" and "ready"), "ready")

    def real_events(self, core=None, count=1):
        def probe():
            events = (core or self.core).get("/api/events?limit=500")[1]["events"]
            real = [e for e in events if "【示例】" not in e["content"]]
            return real if len(real) >= count else None
        return poll(probe) or []


class CaptureOnTheBusTests(BusCase):
    def test_wechat_notify_is_served_and_survives_a_restart(self):
        self.wait_monitoring()
        self.send.notify("微信", "项目群", "张三: 明天交周报")
        events = self.real_events()
        self.assertEqual([(e["chat_target"], e["session_name"], e["sender_name"], e["content"]) for e in events],
                         [("wechat", "项目群", "张三", "明天交周报")])
        self.assertEqual(len(self.core.get("/api/events")[1]["events"]), 1)  # the demo has gone
        self.core.close()
        again = self.start_core()
        self.assertEqual(again.get("/api/events")[1]["events"], events)

    def test_every_path_and_client(self):
        self.wait_monitoring()
        sends = [  # (send, chat target, session, sender, content)
            (lambda: self.send.gtk_add("com.tencent.WeChat", "m1", "家人群", "妈妈: 周末回家吃饭"),
             "wechat", "家人群", "妈妈", "周末回家吃饭"),
            (lambda: self.send.portal_add("com.tencent.WeChat", "m2", "老同学", "好久不见"),
             "wechat", "老同学", "老同学", "好久不见"),
            (lambda: self.send.notify("com.tencent.WeChat", "读书会", "小雨：周日见"),  # KDE portal
             "wechat", "读书会", "小雨", "周日见"),
            (lambda: self.send.notify("企业微信", "项目群", "[2条]王芳: 请周五前提交"),
             "wecom", "项目群", "王芳", "请周五前提交"),
            (lambda: self.send.notify("", "运维值班群", "周强: 今晚发布", desktop_entry="com.qq.weixin.work.deepin"),
             "wecom", "运维值班群", "周强", "今晚发布"),
        ]
        for send, *expected in sends:
            send()
        events = self.real_events(count=len(sends))
        got = {(e["chat_target"], e["session_name"], e["sender_name"], e["content"]) for e in events}
        self.assertEqual(got, {tuple(expected) for _, *expected in sends})
        diag = self.core.state()["diagnostics"]["wecom"]
        self.assertEqual((diag["status"], diag["notification_db"]["record_count"]), ("ready", 2))
        self.assertIs(diag["notification_db"]["permission"]["enabled"], True)
        status, scan = self.core.post("/api/scan/wecom/visible", {"force_backfill": True})
        self.assertEqual((scan["ok"], scan["detected"], scan["inserted"]), (True, 2, 0))

    def test_replaced_and_re_added_notifications_are_stored_once(self):
        clock = LocalClock()
        self.core.close()
        core = self.start_core(local_time=clock)  # a minute passes between the steps, beyond the repeat window
        self.wait_monitoring(core)

        def served(content):
            poll(lambda: any(e["content"] == content for e in self.real_events(core)))
            clock.advance(minutes=1)
        first = self.send.notify("WeChat", "项目群", "张三: 收到")
        served("收到")
        self.send.notify("WeChat", "项目群", "[2条]张三: 收到", replaces_id=first)
        self.send.gtk_add("com.tencent.WeChat", "chat-7", "家人群", "妈妈: 吃饭了吗")
        served("吃饭了吗")
        self.send.gtk_remove("com.tencent.WeChat", "chat-7")
        self.send.gtk_add("com.tencent.WeChat", "chat-7", "家人群", "妈妈: 吃饭了吗")
        self.send.notify("WeChat", "项目群", "李四: 好的", replaces_id=first)  # a new message in the same chat
        # The monitor handles calls in order: once the last one is served, every earlier one was handled.
        served("好的")
        events = core.get("/api/events")[1]["events"]
        self.assertEqual([e["content"] for e in events], ["好的", "吃饭了吗", "收到"])

    def test_other_applications_leave_no_trace(self):
        self.wait_monitoring()
        secrets = ["银行验证码 493817", "SECRET-Mail-Body"]
        self.send.notify("Thunderbird", "银行验证码 493817", "SECRET-Mail-Body: reset")
        self.send.notify("notify-send", "x", "SECRET-Mail-Body", desktop_entry="org.mozilla.Thunderbird")
        self.send.gtk_add("org.gnome.Evolution", "n1", "银行验证码 493817", "SECRET-Mail-Body: a")
        self.send.portal_add("org.signal.Signal", "n2", "银行验证码 493817", "SECRET-Mail-Body: b")
        self.send.notify("微信", "项目群", "张三: 明天交周报")  # written after the others: they came first
        self.assertTrue(self.real_events())
        replies = [self.core.state(), self.core.get("/api/events?limit=500")[1],
                   self.core.get("/api/ask?hours=168&q=" + urllib.parse.quote("验证码"))[1],
                   self.core.get("/api/ask?hours=168")[1], self.core.post("/api/chat", {"message": "最近有什么"})[1],
                   self.core.get("/api/agent/context")[1],
                   self.core.post("/api/scan/wecom/visible", {"force_backfill": True})[1]]
        self.core.close()
        text = json.dumps(replies, ensure_ascii=False) + "\n".join(self.core.lines)
        files = b"".join(p.read_bytes() for p in self.config_path.parent.iterdir() if p.is_file())
        self.assertIn("明天交周报".encode(), files)  # the check can see what is stored
        for secret in secrets + ["Thunderbird", "Evolution", "Signal"]:
            with self.subTest(secret=secret):
                self.assertNotIn(secret, text)
                self.assertNotIn(secret.encode(), files)

    def test_settings_switch_the_monitor(self):
        self.wait_monitoring()
        self.core.post("/api/config/native/save", {"wechat": {"enabled": False}, "wecom": {"enabled": False}})
        self.assertEqual(self.capture_state(), "disabled")
        self.send.notify("微信", "项目群", "张三: 关着的时候")
        self.core.post("/api/config/native/save", {"wechat": {"enabled": True}})
        self.wait_monitoring()
        self.send.notify("微信", "项目群", "张三: 开着的时候")
        self.assertEqual([e["content"] for e in self.real_events()], ["开着的时候"])

    def test_a_refused_second_core_takes_over_once_the_writer_has_gone(self):
        self.wait_monitoring()
        second = self.start_core(capture_options={"check_interval": 0.02})
        said = lambda: next(i for i in second.state()["setup"]["items"] if i["key"] == "message_capture")  # noqa: E731
        self.assertIn("那个核心退出后，本核心会在几秒内接手", said()["description"])
        self.core.close()
        self.wait_monitoring(second)
        self.assertIn("本核心已接手读取通知", said()["description"])
        self.send.notify("微信", "项目群", "张三: 接手以后")
        self.assertEqual([e["content"] for e in self.real_events(second)], ["接手以后"])

    def test_a_lost_bus_is_reported_and_the_core_keeps_serving(self):
        self.core.close()  # one writer per database: make way for a core with a short retry delay
        core = self.start_core(capture_options={"retry_delay": 0.02})
        self.wait_monitoring(core)
        self.bus.close()
        self.assertEqual(poll(lambda: self.capture_state(core) == "blocked" and "blocked"), "blocked")
        self.assertEqual(core.get("/api/auth/status")[0], 200)
        self.assertEqual(core.state()["diagnostics"]["wecom"]["status"], "blocked")


class NotifyTests(BusCase):
    """razo's own notifications for the captured messages that need the user."""

    REQUEST = "李明，今天下班前把报价单发我"  # the user is 李明 (setUp)

    def setUp(self):
        super().setUp()
        self.core.post("/api/config/native/save", {"user_profile": {"display_name": "李明"}})

    def core_options(self):
        self.razo = self.folder / "razo"  # stands in for razo: notes how it was started
        self.razo.write_text('#!/bin/sh\nprintf "%s|%s\\n" "$*" "$XDG_ACTIVATION_TOKEN" >> "$0.out"\n')
        self.razo.chmod(0o755)
        self.clock = [0.0]  # monotonic seconds for the bursts, moved on by the test
        opener = Opener(environ={"RAZO_EXECUTABLE": str(self.razo), "PATH": os.defpath}, log=lambda line: None)
        # The demo data is placed so that its to-dos for 李明 are minutes old: still never notified.
        return {"notify_options": {"clock": lambda: self.clock[0], "opener": opener},
                "start": dt.datetime.now().astimezone() + dt.timedelta(minutes=12)}

    def notes(self, count=1):
        return poll(lambda: len(self.server.razo()) >= count and self.server.razo())

    def test_a_request_gives_one_notification_that_opens_razo_at_the_message(self):
        self.wait_monitoring()
        self.send.notify("企业微信", "项目群", "王芳: " + self.REQUEST)
        [note] = self.notes()
        self.send.notify("微信", "家人群", "妈妈: 好的")  # once this is stored, razo's own call has passed too
        events = self.real_events(count=2)
        self.assertEqual([e["content"] for e in events], ["好的", self.REQUEST])  # razo's own was not captured
        self.assertEqual(self.server.razo(), [note])
        self.assertEqual(note, {
            "id": note["id"], "sender": note["sender"], "replaces": 0, "icon": "org.razo.Razo", "summary": "项目群 · 王芳", "body": self.REQUEST,
            "actions": ["default", "打开"], "timeout": -1,
            "hints": {"desktop-entry": ("s", "org.razo.Razo"), "category": ("s", "im.received")},  # no urgency
        })
        self.send.forge_click(note["id"], to=note["sender"])  # only the notification server speaks for a click
        self.server.invoke(note["id"], token="token-7")
        opened = self.folder / "razo.out"
        poll(opened.exists)
        self.assertEqual(opened.read_text().splitlines(), [f"--show-message {events[1]['id']}|token-7"])
        log = "\n".join(self.core.lines)
        self.assertIn("posted a desktop notification", log)
        for secret in ("报价单", "王芳", "项目群"):
            self.assertNotIn(secret, log)

    def test_nothing_for_plain_excluded_demo_or_switched_off(self):
        self.wait_monitoring()
        self.core.post("/api/config/native/save", {"wecom": {"rule_mode": "allowlist", "allowlist_names": "项目群"},
                                                   "notification_exclude_keywords": "优惠"})
        self.send.notify("微信", "家人群", "妈妈: 周末回家吃饭")
        duty = "@所有人 本周五前完成优惠券系统的安全考试"  # everyone's to-do, naming nobody: the exclusion word holds
        self.send.notify("企业微信", "项目群", "王芳: " + duty)
        # outside the allowlist: the capture drops it, so the notifier never hears of it (its own allowlist
        # check is in test_msgrelay_notify)
        self.send.notify("企业微信", "其他群", "王芳: " + self.REQUEST)
        self.core.post("/api/config/native/save", {"notify_todos_and_mentions": False})
        self.send.notify("企业微信", "项目群", "王芳: 李明，明天把合同发我")
        self.send.notify("微信", "家人群", "妈妈: 好的")  # stored last: every message before it was judged
        served = {e["content"]: e["sorting"]["excluded"] for e in self.real_events(count=4)}
        self.assertEqual(served, {"周末回家吃饭": False, duty: True, "李明，明天把合同发我": False, "好的": False})
        self.assertIs(self.core.state()["config"]["notify_todos_and_mentions"], False)
        self.core.post("/api/config/native/save", {"notify_todos_and_mentions": True})
        self.send.notify("企业微信", "项目群", "王芳: " + self.REQUEST)
        self.assertEqual([n["body"] for n in self.notes()], [self.REQUEST])

    def test_a_burst_in_one_chat_gives_one_notification_with_a_count(self):
        self.wait_monitoring()
        for n in range(4):
            self.send.notify("企业微信", "项目群", f"王芳: 李明，请把第 {n} 版报价单发我")
        self.send.notify("企业微信", "运维群", "周强: 李明，请确认今晚发布")
        notes = self.notes(count=5)
        first = notes[0]["id"]
        self.assertEqual([(n["id"], n["replaces"]) for n in notes[:4]], [(first, 0)] + [(first, first)] * 3)
        self.assertEqual(notes[3]["body"], "李明，请把第 3 版报价单发我\n还有 3 条")
        self.assertNotEqual(notes[4]["id"], first)
        self.clock[0] += 61  # a minute later the chat gets a notification of its own again
        self.send.notify("企业微信", "项目群", "王芳: 李明，报价单好了吗")
        latest = self.notes(count=6)[5]
        self.assertEqual((latest["replaces"], latest["body"]), (0, "李明，报价单好了吗"))
        self.assertNotEqual(latest["id"], first)
        self.server.dismiss(latest["id"])  # the user closed it: the chat's next message is a new one, with no count
        self.send.notify("企业微信", "运维群", "周强: 李明，发布推迟了吗")  # razo reads the closing before this post's reply
        poll(lambda: sum("posted a desktop notification" in line for line in self.core.lines) == 7)
        self.send.notify("企业微信", "项目群", "王芳: 李明，报价单在哪")
        after = self.notes(count=8)[7]
        self.assertEqual((after["replaces"], after["body"]), (0, "李明，报价单在哪"))


class RefusedMonitorTests(BusCase):
    policy = DENY_MONITORING

    def test_refused_monitor_is_reported(self):
        self.assertEqual(poll(lambda: self.capture_state() == "blocked" and "blocked"), "blocked")
        diag = self.core.state()["diagnostics"]["wecom"]
        self.assertEqual(diag["status"], "blocked")
        self.assertIn("拒绝", diag["headline"])
        self.assertTrue(self.core.get("/api/events")[1]["events"])  # the demo is still served


if __name__ == "__main__":
    why = missing()
    if why:
        print(f"msgrelay bus tests: SKIPPED: {why}")
        sys.exit(SKIP)
    unittest.main()
