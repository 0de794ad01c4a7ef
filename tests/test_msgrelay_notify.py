"""Which stored messages become desktop notifications, and their words (the bus side: msgrelay_bus_tests)."""

import datetime as dt
import unittest

import test_msgrelay_support  # noqa: F401 - puts the checkout on the path

from msgrelay.config_store import default_config
from msgrelay.demo_data import Event
from msgrelay.notify import decide, text

NOW = dt.datetime(2025, 5, 20, 9, 0).astimezone()


def message(content, session="项目群", sender="王芳", target="wecom", minutes_old=0, kind="group"):
    return Event(7, target, session, kind, sender, NOW - dt.timedelta(minutes=minutes_old), content)


class DecideTests(unittest.TestCase):
    def test_only_fresh_messages_that_need_the_user_and_pass_the_settings(self):
        request = "李明，今天下班前把报价单发我"
        outage = "@所有人 P0 故障：支付成功率掉到 82%"  # urgent for everyone, names nobody
        allowlist = {"rule_mode": "allowlist", "allowlist": [{"name": "项目群", "enabled": True}]}
        cases = [  # (name, message, configuration changes, notified)
            ("request naming the user", message(request), {}, True),
            ("plain", message("好的，收到"), {}, False),
            ("exclusion word, named", message("李明，优惠的报价单发我"), {"notification_exclude_keywords": ["优惠"]}, True),
            ("exclusion word, one-to-one", message("优惠的报价单今天发我", session="王芳", kind="direct"),
             {"notification_exclude_keywords": ["优惠"]}, True),
            ("exclusion word, to everyone", message(outage), {"notification_exclude_keywords": ["故障"]}, False),
            ("an outage for everyone, no exclusion words", message(outage), {"notification_exclude_keywords": []}, True),
            ("exclusion word in other case", message(outage.replace("支付", "SPAM ")),
             {"notification_exclude_keywords": ["spam"]}, False),
            ("default words are whole phrases", message("客户要的优惠方案今天下班前发我，急", session="王芳", kind="direct"),
             {}, True),
            ("client switched off", message(request), {"wecom": {"enabled": False}}, False),
            ("allowlisted chat", message(request), {"wecom": {"enabled": True, **allowlist}}, True),
            ("chat outside the allowlist", message(request, session="其他群"), {"wecom": {"enabled": True, **allowlist}},
             False),
            ("switch off", message(request), {decide.SWITCH: False}, False),
            ("switch missing (an older configuration)", message(request), {decide.SWITCH: None}, True),
            ("six minutes old", message(request, minutes_old=6), {}, False),
            # what the sorting says needs the user
            ("named in passing", message("这个问题李明之前写过排查手册，wiki 上搜一下就有"), {}, True),
            ("a longer name", message("@李明亮 今天下班前把报价单发我"), {}, False),
            ("a longer name in the text", message("李明辉负责的报价单今天下班前发出"), {}, False),
            ("a chore of everyone's", message("大家周五前更新一下周报"), {}, False),
            ("a promise to the user", message("@李明 日志晚点发你"), {}, False),
            ("a family emergency", message("你爸刚才摔了一跤，现在在医院", "妈妈", "妈妈", "wechat", kind="direct"), {},
             True),
            ("a scam", message("我是王总，加我新微信，有笔款急需转给供应商", "王总", "王总", kind="direct"), {}, False),
        ]
        for name, event, changes, notified in cases:
            with self.subTest(name):
                config = default_config()
                config["user_profile"] = {"display_name": "李明", "aliases": ["明哥"]}  # whatever the defaults say
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
