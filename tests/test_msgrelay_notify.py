"""Which stored messages become desktop notifications, and their words (the bus side: msgrelay_bus_tests)."""

import datetime as dt
import unittest

import test_msgrelay_support  # noqa: F401 - puts the checkout on the path

from msgrelay.config_store import default_config
from msgrelay.demo_data import Event
from msgrelay.notify import decide, text

NOW = dt.datetime(2025, 5, 20, 9, 0).astimezone()


def message(content, session="项目群", sender="王芳", target="wecom", minutes_old=0):
    return Event(7, target, session, "group", sender, NOW - dt.timedelta(minutes=minutes_old), content)


class DecideTests(unittest.TestCase):
    def test_only_fresh_messages_that_need_the_user_and_pass_the_settings(self):
        request = "李明，今天下班前把报价单发我"
        allowlist = {"rule_mode": "allowlist", "allowlist": [{"name": "项目群", "enabled": True}]}
        cases = [  # (name, message, configuration changes, notified)
            ("request naming the user", message(request), {}, True),
            ("plain", message("好的，收到"), {}, False),
            ("exclusion word", message("李明，优惠的报价单发我"), {"notification_exclude_keywords": ["优惠"]}, False),
            ("no exclusion words", message("李明，优惠的报价单发我"), {"notification_exclude_keywords": []}, True),
            ("default words are whole phrases", message("李明，客户要的优惠方案今天下班前发我，急"), {}, True),
            ("exclusion word in other case", message("李明，把 SPAM 报价单发我"),
             {"notification_exclude_keywords": ["spam"]}, False),
            ("client switched off", message(request), {"wecom": {"enabled": False}}, False),
            ("allowlisted chat", message(request), {"wecom": {"enabled": True, **allowlist}}, True),
            ("chat outside the allowlist", message(request, session="其他群"), {"wecom": {"enabled": True, **allowlist}},
             False),
            ("switch off", message(request), {decide.SWITCH: False}, False),
            ("switch missing (an older configuration)", message(request), {decide.SWITCH: None}, True),
            ("six minutes old", message(request, minutes_old=6), {}, False),
        ]
        for name, event, changes, notified in cases:
            with self.subTest(name):
                config = default_config()
                config["user_profile"]["display_name"] = "李明"
                for key, value in changes.items():
                    if value is None:
                        del config[key]
                    elif isinstance(value, dict):
                        config[key].update(value)
                    else:
                        config[key] = value
                self.assertIs(decide.worth_telling(event, config, NOW), notified)


class TextTests(unittest.TestCase):
    def test_summary_and_body(self):
        long = "李明  请看\n报价单" + "很长" * 100
        cases = [  # (name, message, others, markup, summary, body)
            ("group", message("李明，报价单发我"), 0, False, "项目群 · 王芳", "李明，报价单发我"),
            ("private chat", message("在吗", session="王芳"), 0, False, "王芳", "在吗"),
            ("long text", message(long), 0, False, "项目群 · 王芳", ("李明 请看 报价单" + "很长" * 100)[:119] + "…"),
            ("markup server", message("<b>a</b> & b"), 0, True, "项目群 · 王芳", "&lt;b&gt;a&lt;/b&gt; &amp; b"),
            ("burst", message("李明，报价单发我"), 3, False, "项目群 · 王芳", "李明，报价单发我\n还有 3 条"),
        ]
        for name, event, others, markup, summary, body in cases:
            with self.subTest(name):
                self.assertEqual(text.compose(event, others, markup), text.Note(summary, body))


if __name__ == "__main__":
    unittest.main()
