"""The configured AI provider behind chat, ask and the digest: requests, fallbacks, key safety."""

import dataclasses
import datetime as dt
import json
import os
import socket
import unittest
from unittest import mock

from fake_ai_provider import FakeProvider
from test_msgrelay_support import RunningCore

from msgrelay.ai import settings
from msgrelay.ai.assistant import ContextLimits
from msgrelay.triage.digest import highlight, item_line

KEY = "sk-test-7f3a9c51"
FALLBACK = "（AI 暂时无法回答："


def ai_body(url, provider="openai-compatible", **extra):
    ai = {"enabled": True, "provider": provider, "model": "fake-model", "base_url": url, "api_key_env_name": ""}
    ai.update(extra)
    return {"ai": ai}


def refusing_url() -> str:
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    return f"http://127.0.0.1:{port}/v1"


class FakeClock:
    def __init__(self):
        self.now = 1000.0

    def __call__(self):
        return self.now


class AITestCase(unittest.TestCase):
    def start(self, ai_timeout=2.0, clock=None, mode="answer") -> tuple[RunningCore, FakeProvider]:
        provider = FakeProvider(mode)
        self.addCleanup(provider.close)
        core = RunningCore(ai_timeout=ai_timeout, clock=clock)
        self.addCleanup(core.close)
        return core, provider

    def configure(self, core, url, **ai):
        status, reply = core.post("/api/config/native/save", ai_body(url, **ai))
        self.assertEqual((status, reply["ok"]), (200, True), reply)

    def assert_key_hidden(self, core, replies):
        seen = [core.state(), core.get("/api/events")[1], core.get("/api/agent/context")[1]] + replies
        self.assertNotIn(KEY, json.dumps(seen, ensure_ascii=False))
        self.assertNotIn(KEY, "\n".join(core.lines))

    def visible(self, core):
        return core.core.visible_events(core.core.config.snapshot())


class ChatTests(AITestCase):
    def test_question_history_and_bounded_context_reach_the_provider(self):
        core, provider = self.start()
        self.configure(core, provider.url, api_key=KEY)
        core.core.assistant.limits = ContextLimits(total_chars=600)
        status, first = core.post("/api/chat", {"message": "今天先处理什么"})
        self.assertEqual((status, first["message"], first["mode"], first["model"]), (200, "提供方的回答", "ai", "fake-model"))
        path, headers, body = provider.chat_requests()[-1]
        self.assertEqual((path, body["model"], body["stream"]), ("/v1/chat/completions", "fake-model", False))
        self.assertEqual(headers["Authorization"], f"Bearer {KEY}")
        system = body["messages"][0]["content"]
        block = system.split("（新的在前）：\n", 1)[1]
        events = self.visible(core)
        self.assertLessEqual(len(block), 600)
        self.assertTrue(block.startswith(f"[{events[0].label}｜{events[0].session_name}｜"))
        self.assertNotIn(events[-1].display_text, system)
        self.assertIn("李明", system)
        self.assertEqual(body["messages"][-1], {"role": "user", "content": "今天先处理什么"})

        provider.text = "第二个回答"
        second = core.post("/api/chat", {"message": "还有呢", "session_id": first["session_id"]})[1]
        self.assertEqual((second["session_id"], second["message"]), (first["session_id"], "第二个回答"))
        self.assertEqual(provider.chat_requests()[-1][2]["messages"][1:], [
            {"role": "user", "content": "今天先处理什么"}, {"role": "assistant", "content": "提供方的回答"},
            {"role": "user", "content": "还有呢"}])
        core.post("/api/chat", {"message": "别的会话"})
        self.assertEqual(len(provider.chat_requests()[-1][2]["messages"]), 2)

        status, asked = core.get("/api/ask?hours=168&q=%E4%BC%9A%E8%AE%AE")
        self.assertEqual((asked["answer"], provider.chat_requests()[-1][2]["messages"][-1]["content"]), ("第二个回答", "会议"))
        self.assert_key_hidden(core, [first, second, asked])

    def test_key_sources(self):
        core, provider = self.start()
        other = FakeProvider()
        self.addCleanup(other.close)
        cases = [  # (name, ai settings, environment, Authorization header expected)
            ("key from the environment variable", {"api_key_env_name": "MSGRELAY_TEST_API_KEY"},
             {"MSGRELAY_TEST_API_KEY": "env-key-1"}, "Bearer env-key-1"),
            ("saved key", {"api_key": KEY}, {}, f"Bearer {KEY}"),
            ("saved key kept for its own address", {}, {}, f"Bearer {KEY}"),
            ("another address never gets it", {"base_url": other.url}, {}, None),
            ("Ollama never gets a key", {"provider": "ollama", "api_key_env_name": "DEEPSEEK_API_KEY"},
             {"DEEPSEEK_API_KEY": "ds-key"}, None),
        ]
        for name, ai, env, expected in cases:
            with self.subTest(name), mock.patch.dict(os.environ, env):
                url = ai.pop("base_url", provider.url)
                self.configure(core, url, **ai)
                self.assertEqual(core.post("/api/chat", {"message": "最近有什么"})[1]["mode"], "ai")
                target = other if url == other.url else provider
                self.assertEqual(target.chat_requests()[-1][1].get("Authorization"), expected)
                self.assertIs(core.state()["config"]["ai_provider"]["has_api_key"], expected is not None)

    def test_every_failure_falls_back_to_rules_and_says_why_once(self):
        # Settings that cannot work are said in the setup item (razo's AI card), before any call and in
        # no answer; a failed call is said in the first answer only, not in the next ones.
        cases = [  # (name, provider mode, settings, reason fragment, said in the first answer)
            ("no key", "answer", {"provider": "qwen"}, "没有 API Key", False),
            ("key with a line break", "answer", {"api_key": "sk-test\n7f3a9c51"}, "无效字符", False),
            ("refused", "answer", {"base_url": refusing_url(), "api_key": KEY}, "连接被拒绝", True),
            ("401", "401", {"api_key": KEY}, "HTTP 401", True),
            ("500", "500", {"api_key": KEY}, "HTTP 500", True),
            ("malformed", "malformed", {"api_key": KEY}, "无法识别", True),
            ("slow past the time-out", "slow", {"api_key": KEY}, "0.3 秒内没有回复", True),
            ("streaming refused", "stream", {"api_key": KEY}, "流式回复", True),
            ("no real provider from a test", "answer", {"base_url": "https://api.example.com/v1", "api_key": KEY},
             "只允许连接本机", True),
        ]
        for name, mode, ai, fragment, said in cases:
            with self.subTest(name):
                core, provider = self.start(ai_timeout=0.3 if mode == "slow" else 5.0, mode=mode)
                self.configure(core, ai.pop("base_url", provider.url), **ai)
                item = next(i for i in core.state()["setup"]["items"] if i["key"] == "ai_provider")
                self.assertEqual(item["status"] == "error", not said)  # known before the first question
                status, chat = core.post("/api/chat", {"message": "有哪些待办？"})
                self.assertEqual((status, chat["mode"]), (200, "local"))
                line, rest = chat["message"].split("\n", 1)
                if said:
                    self.assertTrue(line.startswith(FALLBACK) and fragment in line, line)
                    self.assertTrue(rest.startswith("待办事项\n"), rest)
                else:
                    self.assertEqual(line, "待办事项")
                self.assertIn(fragment, chat["error"])
                asked = core.get("/api/ask?hours=168&q=%E4%BC%9A%E8%AE%AE")[1]
                self.assertNotIn(FALLBACK, asked["answer"])  # said once at most
                state = core.state()
                item = next(i for i in state["setup"]["items"] if i["key"] == "ai_provider")
                self.assertEqual(item["status"], "error")
                self.assertIn(fragment, item["description"])
                self.assertIn(fragment, state["built_in_chat"]["notes"])
                self.assertTrue(any("AI chat failed" in line and fragment in line for line in core.lines))
                if name in ("no key", "key with a line break", "no real provider from a test"):
                    self.assertEqual(provider.requests, [])
                self.assert_key_hidden(core, [chat, asked])

    def test_a_success_clears_the_error_and_ai_off_means_rules_only(self):
        core, provider = self.start(mode="500")
        self.configure(core, provider.url, api_key=KEY)
        core.post("/api/chat", {"message": "你好"})
        provider.mode = "answer"
        core.post("/api/chat", {"message": "你好"})
        items = {i["key"]: i for i in core.state()["setup"]["items"]}
        self.assertEqual(items["ai_provider"]["status"], "ready")
        self.configure(core, provider.url, enabled=False)
        count = len(provider.chat_requests())
        reply = core.post("/api/chat", {"message": "有哪些待办？"})[1]
        self.assertEqual((reply["mode"], reply["message"].split("\n")[0]), ("local", "待办事项"))
        self.assertEqual(len(provider.chat_requests()), count)


class AddressTests(unittest.TestCase):
    def test_addresses_on_save(self):
        cases = [  # (address, accepted)
            ("http://127.0.0.1:11434/v1", True), ("http://localhost:11434/v1", True),
            ("http://192.168.1.20:11434/v1", True), ("http://10.1.2.3/v1", True), ("http://[::1]:11434/v1", True),
            ("https://api.example.com/v1", True),
            ("http://api.example.com/v1", False), ("http://8.8.8.8/v1", False), ("ftp://example.com/v1", False),
            ("https://user:pw@example.com/v1", False), ("https://", False), ("https://example.com:99999/v1", False),
            ("api.example.com/v1", False), ("https://exa mple.com/v1", False),
            ("http://[fd00::5]:11434/v1", True), ("http://localhost.:11434/v1", True),
            ("http://127.0.0.1%.attacker.test/v1", False), ("https://127.0.0.1%.attacker.test/v1", False),
            ("http://ollama.localhost:11434/v1", False), ("http://127.0.0.1./v1", False),
            ("http://[2002:c0a8:101::1]/v1", False), ("http://[2001:0:4136:e378:8000:63bf:3fff:fdd2]/v1", False),
        ]
        core = RunningCore()
        self.addCleanup(core.close)
        for url, accepted in cases:
            with self.subTest(url):
                before = core.state()["config"]["ai_provider"]
                status, reply = core.post("/api/config/native/save", ai_body(url))
                self.assertEqual((status, reply["ok"]), (200, accepted), reply)
                after = core.state()["config"]["ai_provider"]
                if accepted:
                    self.assertEqual(after["base_url"], url.rstrip("/") + "/chat/completions")
                else:
                    self.assertRegex(reply["message"], r"[\u4e00-\u9fff]")
                    self.assertEqual(after, before)

    def test_an_environment_key_goes_only_to_its_provider(self):
        env = {"DEEPSEEK_API_KEY": "ds", "DASHSCOPE_API_KEY": "qw", "MY_GATEWAY_API_KEY": "gw", "HOME_SECRET": "x"}
        ds, qw = settings.PROVIDERS["deepseek"].url, settings.PROVIDERS["qwen"].url
        gateway = "https://gw.example/v1"
        cases = [  # (provider, address, variable named in the settings, saved by the user's own account, key sent)
            ("deepseek", ds, "DEEPSEEK_API_KEY", True, "ds"), ("deepseek", "", "", True, "ds"),
            ("deepseek", "https://proxy.example/v1", "DEEPSEEK_API_KEY", True, ""),  # not DeepSeek's own address
            ("qwen", ds, "DEEPSEEK_API_KEY", True, "qw"), ("qwen", qw, "DEEPSEEK_API_KEY", True, "qw"),  # razo's form
            ("openai-compatible", gateway, "DEEPSEEK_API_KEY", True, ""),
            ("openai-compatible", ds, "DEEPSEEK_API_KEY", True, ""),
            ("openai-compatible", gateway, "DASHSCOPE_API_KEY", True, ""), ("openai-compatible", gateway, "PATH", True, ""),
            ("openai-compatible", gateway, "HOME_SECRET", True, ""),
            ("openai-compatible", gateway, "MY_GATEWAY_API_KEY", True, "gw"),
            ("openai-compatible", gateway, "MY_GATEWAY_API_KEY", False, ""),  # named by someone else, or an older file
            ("qwen", qw, "DASHSCOPE_API_KEY", False, "qw"),  # the provider's own needs no one's word
            ("ollama", "http://127.0.0.1:11434/v1", "DEEPSEEK_API_KEY", True, ""),
            ("ollama", "http://127.0.0.1:11434/v1", "MY_GATEWAY_API_KEY", True, ""),
        ]
        for provider, url, name, own, sent in cases:
            with self.subTest(provider=provider, url=url, name=name, own=own):
                ai = {"provider": provider, "base_url": url, "api_key_env_name": name, "api_key": "",
                      "api_key_env_own": own}
                self.assertEqual(settings.api_key(ai, env), sent)

    def test_provider_defaults_replace_another_providers_address(self):
        cases = [  # (provider, address sent, variable sent, address kept, variable kept)
            ("ollama", "https://api.deepseek.com/chat/completions", "DEEPSEEK_API_KEY",
             "http://127.0.0.1:11434/v1/chat/completions", ""),
            ("qwen", "https://api.deepseek.com/chat/completions", "DEEPSEEK_API_KEY",
             "https://dashscope.aliyuncs.com/compatible-mode/v1/chat/completions", "DASHSCOPE_API_KEY"),
            ("qwen", "https://dashscope.aliyuncs.com/compatible-mode/v1", "MY_QWEN_API_KEY",
             "https://dashscope.aliyuncs.com/compatible-mode/v1/chat/completions", "MY_QWEN_API_KEY"),
            ("openai-compatible", "https://api.deepseek.com/chat/completions", "DEEPSEEK_API_KEY",
             "https://api.deepseek.com/chat/completions", ""),  # a gateway never reads DeepSeek's variable
            ("openai-compatible", "", "", None, None),  # a gateway needs an address
        ]
        core = RunningCore()
        self.addCleanup(core.close)
        for provider, url, env, kept_url, kept_env in cases:
            with self.subTest(provider=provider, url=url):
                reply = core.post("/api/config/native/save", ai_body(url, provider, api_key_env_name=env))[1]
                self.assertIs(reply["ok"], kept_url is not None)
                if kept_url:
                    stored = json.loads(core.config_path.read_text(encoding="utf-8"))["ai"]
                    self.assertEqual((stored["base_url"], stored["api_key_env_name"]), (kept_url, kept_env))

    def test_a_hand_edited_plain_http_address_is_not_called(self):
        core = RunningCore(ai_timeout=0.3)
        self.addCleanup(core.close)
        config = json.loads(core.config_path.read_text(encoding="utf-8"))
        config["ai"].update(enabled=True, provider="openai-compatible", base_url="http://api.example.com/v1",
                            api_key=KEY, api_key_origin="http://api.example.com:80")
        core.config_path.write_text(json.dumps(config), encoding="utf-8")
        again = RunningCore(config_path=core.config_path, ai_timeout=0.3)
        self.addCleanup(again.close)
        reply = again.post("/api/chat", {"message": "你好"})[1]
        self.assertIn("必须使用 https://", reply["error"])
        item = next(i for i in again.state()["setup"]["items"] if i["key"] == "ai_provider")
        self.assertIn("必须使用 https://", item["description"])


class DigestTests(AITestCase):
    def setUp(self):
        self.clock = FakeClock()
        self.core, self.provider = self.start(clock=self.clock)
        self.configure(self.core, self.provider.url, api_key=KEY)
        self.events = self.visible(self.core)
        self.arrived = []  # messages that came in during the test, newest first
        held = self.core.core.visible_events
        self.core.core.visible_events = lambda config, hours=168: self.arrived + held(config, hours)

    def new_message(self):
        newest = (self.arrived or self.events)[0]
        self.arrived.insert(0, dataclasses.replace(newest, id=newest.id + 1000, at=newest.at + dt.timedelta(minutes=1),
                                                   content=f"请今天把第 {len(self.arrived) + 1} 版报价单发我。"))

    def served(self) -> dict:
        summary = self.core.state()["summary"]
        self.assertTrue(self.core.core.digest_picker.wait_idle())
        return summary

    def test_picked_lists_replace_the_rules_at_most_every_ten_minutes(self):
        e = self.events
        parcel = next(x for x in e if "快递" in x.display_text)  # no to-do by the rules
        pick = {"action_items": [parcel.id, e[0].id], "follow_ups": [e[3].id], "meeting_items": [f"#{e[2].id}"],
                "highlights": [e[1].id]}
        self.provider.digest = f"```json\n{json.dumps(pick)}\n```"  # fenced, as models like to answer
        rules = self.core.core.summary(self.core.core.config.snapshot(), schedule=False)
        self.served()  # starts the pick
        picked = self.core.state()["summary"]
        self.assertNotEqual(rules["action_items"], picked["action_items"])
        self.assertEqual(picked["action_items"], [item_line(parcel), item_line(e[0])])
        self.assertEqual((picked["follow_ups"], picked["meeting_items"]), ([item_line(e[3])], [item_line(e[2])]))
        self.assertEqual(picked["highlights"], [highlight(e[1])])
        self.assertEqual(picked["my_related_items"], rules["my_related_items"])
        todos = [x["id"] for x in self.core.get("/api/events?kind=todo&limit=1000")[1]["events"]]
        self.assertEqual(todos[:2], [parcel.id, e[0].id])  # the picked card first, then the rules' other to-dos
        self.assertEqual(len(todos), picked["counts"]["todo"])

        self.assertIs(self.core.post("/api/tasks/complete", {"item_text": item_line(parcel)})[1]["ok"], True)
        self.assertEqual(self.served()["action_items"], [item_line(e[0])])

        steps = [  # (what happens, minutes on the clock, picks so far)
            ("nothing new", 0, 1), ("a new message, too soon", 0, 1), ("ten minutes later", 10.1, 2),
            ("ten more minutes, nothing new", 10.1, 2)]
        for what, minutes, picks in steps:
            with self.subTest(what):
                if what.startswith("a new message"):
                    self.new_message()
                self.clock.now += minutes * 60
                self.served()
                self.assertEqual(len(self.provider.digest_requests()), picks)
        self.assert_key_hidden(self.core, [])

    def test_invalid_picks_leave_the_rule_based_digest(self):
        e = self.events
        cases = [
            ("unknown message", json.dumps({"action_items": [e[0].id, 999999]})),
            ("not JSON", "好的，以下是重点：第一条……"),
            ("not a list", json.dumps({"action_items": "全部"})),
            ("boolean id", json.dumps({"highlights": [True]})),
            ("none of the lists", json.dumps({"todo": [e[0].id]})),
            ("provider fails", None),
        ]
        for name, text in cases:
            with self.subTest(name):
                self.provider.digest, self.provider.mode = text, ("answer" if text else "500")
                self.clock.now += 601
                self.new_message()
                rules = self.core.core.summary(self.core.core.config.snapshot(), schedule=False)
                self.served()  # starts the pick
                self.assertEqual(self.core.state()["summary"], rules)
                item = next(i for i in self.core.state()["setup"]["items"] if i["key"] == "ai_provider")
                self.assertEqual(item["status"], "error")
                self.assertIn("整理摘要失败", item["description"])


if __name__ == "__main__":
    unittest.main()
