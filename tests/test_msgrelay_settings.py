"""Settings bodies, their effect on state, diagnostics and messages, and the configuration file."""

import json
import unittest

from test_msgrelay_support import RunningCore

from msgrelay.capture.dbus_monitor import Sighting  # noqa: E402 - the support module puts the checkout on the path

FULL_BODY = {
    "notification_keywords": "周报\n\n发票",
    "notification_exclude_keywords": "快递\n 银行 ",
    "user_profile": {"display_name": " 王小明 ", "aliases": "Xiaoming\nXM\n"},
    "wechat": {"enabled": True, "source": "mock", "data_root": "/data/wx", "allowlist_names": "家人群\n  读书会 \n"},
    "wecom": {"enabled": True, "source": "accessibility", "rule_mode": "allowlist", "data_root": "",
              "allowlist_names": "项目群\n陈总"},
    "ai": {"enabled": False, "provider": "qwen", "model": "qwen-plus", "base_url": "https://gw.invalid/chat/completions",
           "api_key_env_name": "MSGRELAY_TEST_UNSET_KEY", "api_key": " sk-abc "},
    "remote_access_token": " tok-1-long ",
    "notify_todos_and_mentions": False,
}


def path(doc, dotted):
    for part in dotted.split("."):
        doc = doc[part]
    return doc


class SaveTests(unittest.TestCase):
    def setUp(self):
        self.core = RunningCore()
        self.addCleanup(self.core.close)

    def save(self, body):
        return self.core.post("/api/config/native/save", body)

    def test_full_body_is_reflected_in_the_next_state(self):
        status, reply = self.save(FULL_BODY)
        self.assertEqual((status, reply["ok"]), (200, True))
        state = self.core.state()
        expected = [
            ("config.notification_keywords", ["周报", "发票"]),
            ("config.notification_exclude_keywords", ["快递", "银行"]),
            ("config.user_profile.display_name", "王小明"),
            ("config.user_profile.aliases", ["Xiaoming", "XM"]),
            ("config.wechat.source", "mock"),
            ("config.wechat.data_root", "/data/wx"),
            ("config.wechat.allowlist", [{"name": "家人群", "kind": "unknown", "enabled": True},
                                         {"name": "读书会", "kind": "unknown", "enabled": True}]),
            ("config.wecom.source", "accessibility"),
            ("config.wecom.rule_mode", "allowlist"),
            ("config.ai_provider.enabled", False),
            ("config.ai_provider.provider", "qwen"),
            ("config.ai_provider.model", "qwen-plus"),
            ("config.ai_provider.base_url", "https://gw.invalid/chat/completions"),
            ("config.ai_provider.has_api_key", True),
            ("config.remote_access_protected", True),
            ("config.notify_todos_and_mentions", False),
            ("built_in_chat.enabled", False),
            ("agent_access.token_required", True),
            ("diagnostics.wecom.status", "blocked"),  # the accessibility reader does not exist here
        ]
        for dotted, value in expected:
            with self.subTest(dotted):
                self.assertEqual(path(state, dotted), value)
        events = self.core.get("/api/events?limit=500")[1]["events"]
        self.assertEqual({e["session_name"] for e in events if e["chat_target"] == "wecom"}, {"项目群", "陈总"})
        worded = [e for e in events if "快递" in e["content"] or "银行" in e["content"]]  # official accounts: excluded
        self.assertTrue(worded and all(e["sorting"]["excluded"] for e in worded))
        listed = json.dumps(state["summary"], ensure_ascii=False)
        self.assertFalse([e for e in worded if e["content"] in listed])
        self.assertNotIn("sk-abc", json.dumps(state, ensure_ascii=False))
        self.assertNotIn("tok-1-long", json.dumps(state, ensure_ascii=False))
        stored = json.loads(self.core.config_path.read_text(encoding="utf-8"))
        self.assertEqual((stored["ai"]["api_key"], stored["remote_access_token"]), ("sk-abc", "tok-1-long"))
        self.assertEqual(self.core.get("/api/agent/context", headers={"Quillmere": "tok-1-long"})[0], 200)

    def test_secrets_are_kept_when_absent_and_never_logged(self):
        self.save({"ai": {"api_key": "sk-abc"}, "remote_access_token": "tok-1-long"})
        self.save({"ai": {"model": "m2"}, "wechat": {"enabled": True}})
        state = self.core.state()
        self.assertIs(state["config"]["ai_provider"]["has_api_key"], True)
        self.assertIs(state["config"]["remote_access_protected"], True)
        stored = json.loads(self.core.config_path.read_text(encoding="utf-8"))
        self.assertEqual((stored["ai"]["api_key"], stored["remote_access_token"]), ("sk-abc", "tok-1-long"))
        self.assertEqual(self.core.config_path.stat().st_mode & 0o077, 0)
        before = self.core.config_path.read_bytes()
        status, reply = self.save({"remote_access_token": " 1234567 ", "user_profile": {"display_name": "改了"}})
        self.assertEqual((status, reply["ok"], reply["message"]), (200, False, "远程访问口令至少需要 8 个字符；留空表示不开放远程访问。"))
        self.assertEqual(self.core.config_path.read_bytes(), before)
        self.save({"remote_access_token": ""})  # present and empty clears it
        self.assertIs(self.core.state()["config"]["remote_access_protected"], False)
        log = "\n".join(self.core.lines)
        self.assertNotIn("sk-abc", log)
        self.assertNotIn("tok-1-long", log)

    def test_wrong_types_are_refused_and_change_nothing(self):
        before = self.core.state()["config"]
        bad = [
            ("body not an object", ["x"]),
            ("keywords number", {"notification_keywords": 3}),
            ("user_profile text", {"user_profile": "me"}),
            ("display_name number", {"user_profile": {"display_name": 1}}),
            ("enabled text", {"wechat": {"enabled": "true"}, "notification_keywords": "改了"}),
            ("enabled number", {"wecom": {"enabled": 1}}),
            ("allowlist object", {"wecom": {"allowlist_names": {"a": 1}}}),
            ("ai list", {"ai": []}),
            ("api_key number", {"ai": {"api_key": 12}}),
            ("token bool", {"remote_access_token": True}),
            ("notification switch text", {"notify_todos_and_mentions": "false"}),
        ]
        for name, body in bad:
            with self.subTest(name):
                status, reply = self.save(body)
                self.assertEqual(status, 400)
                self.assertIs(reply["ok"], False)
                self.assertTrue(reply["error"])
        self.assertEqual(self.core.state()["config"], before)

    def test_settings_survive_a_restart(self):
        self.save(FULL_BODY)
        again = RunningCore(config_path=self.core.config_path)
        self.addCleanup(again.close)
        self.assertEqual(again.state()["config"], self.core.state()["config"])


class DiagnosticsTests(unittest.TestCase):
    def test_wecom_verdict_follows_configuration(self):
        # Without a session bus (these cores get none) the notification reader cannot work.
        cases = [
            ("default", {}, "blocked", "D-Bus"),
            ("switched off", {"enabled": False}, "blocked", "关闭"),
            ("accessibility", {"source": "accessibility"}, "blocked", "辅助功能"),
            ("ocr", {"source": "ocr"}, "blocked", "OCR"),
            ("unknown source", {"source": "telepathy"}, "blocked", "telepathy"),
            ("empty allowlist", {"rule_mode": "allowlist", "allowlist_names": ""}, "limited", "白名单"),
            ("mock", {"source": "mock"}, "limited", "测试数据"),
        ]
        for name, wecom, status, headline in cases:
            with self.subTest(name):
                core = RunningCore()
                self.addCleanup(core.close)
                if wecom:
                    self.assertEqual(core.post("/api/config/native/save", {"wecom": wecom})[0], 200)
                state = core.state()
                diag = state["diagnostics"]["wecom"]
                self.assertEqual(diag["status"], status)
                self.assertNotIn("capture_quality", diag)
                self.assertIn(headline, diag["headline"])
                self.assertGreaterEqual(len(diag["recommendations"]), 4)
                setup = {item["key"]: item["status"] for item in state["setup"]["items"]}
                self.assertEqual(setup["wecom_source"] == "ready", status == "ready")
                capture = next(item for item in state["setup"]["items"] if item["key"] == "message_capture")
                self.assertEqual("企业微信未在读取" in capture["description"],  # a mode that cannot read says so
                                 wecom.get("source") in ("accessibility", "ocr", "telepathy"))

    def test_switching_a_client_off_hides_its_messages(self):
        core = RunningCore()
        self.addCleanup(core.close)
        core.post("/api/config/native/save", {"wechat": {"enabled": False}})
        events = core.get("/api/events?limit=500")[1]["events"]
        self.assertTrue(events)
        self.assertEqual({e["chat_target"] for e in events}, {"wecom"})
        summary = core.state()["summary"]
        self.assertEqual(summary["total_messages"], len(events))
        self.assertFalse([line for line in summary["action_items"] if line.startswith("微信｜")])

    def test_user_name_decides_related_items(self):
        core = RunningCore()
        self.addCleanup(core.close)
        statuses = {item["key"]: item["status"] for item in core.state()["setup"]["items"]}
        self.assertEqual(statuses["user_profile"], "action_required")  # a new configuration assumes no one
        demo = core.state()["summary"]["my_related_items"]
        self.assertTrue(demo)
        core.post("/api/config/native/save", {"user_profile": {"display_name": "", "aliases": "无名氏"}})
        state = core.state()
        self.assertEqual(state["summary"]["my_related_items"], demo)  # the demo is sorted for its own person
        items = {item["key"]: item for item in state["setup"]["items"]}
        self.assertEqual(items["user_profile"]["status"], "ready")
        self.assertIn("示例消息按示例人物“李明”整理。", items["demo_data"]["description"])
        core.core.capture.offer(Sighting("wecom", "企业微信", "notify", "项目群", "张三: @无名氏 今天把周报发我"))
        for aliases, related in (("无名氏", 1), ("李明", 0)):  # real messages: the profile as configured, sorted again
            with self.subTest(aliases=aliases):
                core.post("/api/config/native/save", {"user_profile": {"display_name": "", "aliases": aliases}})
                self.assertEqual(len(core.state()["summary"]["my_related_items"]), related)


class ConfigFileTests(unittest.TestCase):
    def test_unreadable_file_is_kept_aside_and_defaults_used(self):
        import tempfile
        from pathlib import Path
        with tempfile.TemporaryDirectory() as tmp:
            config = Path(tmp) / "bridge.config.json"
            config.write_text('{"wechat": {"enabled": ', encoding="utf-8")
            core = RunningCore(config_path=config)
            try:
                self.assertIs(core.state()["config"]["wechat"]["enabled"], True)
                kept = Path(tmp) / "bridge.config.json.unreadable"
                self.assertEqual(kept.read_text(encoding="utf-8"), '{"wechat": {"enabled": ')
                self.assertEqual(kept.stat().st_mode & 0o777, 0o600)  # it may hold the key and the token
            finally:
                core.close()

    def test_what_a_stored_file_loads_as(self):
        import tempfile
        from pathlib import Path
        earlier_defaults = ["优惠", "广告", "领取优惠券"]  # what older versions wrote without being asked
        wrong_types = {"wechat": {"enabled": "no", "source": "mock"}, "notification_keywords": [1, "a"],
                       "completed_tasks": "x"}
        cases = [  # (name, file content or None for no file, dotted path in the state, value)
            ("new: no assumed name", None, "config.user_profile.display_name", ""),
            ("new: no aliases", None, "config.user_profile.aliases", []),
            ("new: AI off until it can work", None, "config.ai_provider.enabled", False),
            ("new: exclusion words are whole marketing phrases", None, "config.notification_exclude_keywords",
             ["领取优惠券", "限时优惠", "广告"]),
            ("the earlier default exclusion words move on", {"notification_exclude_keywords": earlier_defaults},
             "config.notification_exclude_keywords", ["领取优惠券", "限时优惠", "广告"]),
            ("exclusion words the user chose stay", {"notification_exclude_keywords": ["优惠", "广告"]},
             "config.notification_exclude_keywords", ["优惠", "广告"]),
            ("the earlier words in another order were chosen", {"notification_exclude_keywords": ["广告", "优惠", "领取优惠券"]},
             "config.notification_exclude_keywords", ["广告", "优惠", "领取优惠券"]),
            ("a stored name stays", {"user_profile": {"display_name": "李明"}}, "config.user_profile.display_name", "李明"),
            ("a switch of the wrong type falls back", wrong_types, "config.wechat.enabled", True),
            ("beside it a right value stays", wrong_types, "config.wechat.source", "mock"),
            ("a list keeps its texts only", wrong_types, "config.notification_keywords", ["a"]),
        ]
        for name, content, dotted, value in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as tmp:
                config = Path(tmp) / "bridge.config.json"
                if content is not None:
                    config.write_text(json.dumps(content), encoding="utf-8")
                core = RunningCore(config_path=config)
                try:
                    self.assertEqual(path(core.state(), dotted), value)
                finally:
                    core.close()

if __name__ == "__main__":
    unittest.main()
