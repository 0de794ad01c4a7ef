"""Demo messages: a week of WeChat and WeCom traffic, placed relative to a start time.

They are served until the first real message is captured, each text marked with DEMO_MARK so that
nobody mistakes them for their own messages.  They are written to DEMO_PERSON, and sorted for that
person whoever the user is.
"""

from __future__ import annotations

import dataclasses
import datetime as dt
import re
import threading

TARGET_LABELS = {"wechat": "微信", "wecom": "企业微信"}
DEMO_PERSON = {"display_name": "李明", "aliases": ["小李", "明哥"]}  # whom the demo messages are written to
DEMO_MARK = "【示例】 "  # the space parts the mark from the text; the sorting takes the mark out before it reads
# A short leading label such as "提醒：" or "腾讯会议：" (a colon between two digits is a clock
# time). Lists that show a message without its label would drop a mark placed before it, so
# the mark goes after the label.
_LEADING_LABEL = re.compile(r"^[^:：]{1,24}(?:(?<!\d)[:：]|[:：](?!\d))\s*")


def marked(text: str) -> str:
    label = _LEADING_LABEL.match(text)
    cut = label.end() if label else 0
    return text[:cut] + DEMO_MARK + text[cut:]


@dataclasses.dataclass(frozen=True, slots=True)
class Event:
    id: int
    chat_target: str
    session_name: str
    session_kind: str
    sender_name: str
    at: dt.datetime  # aware, local time zone
    content: str
    content_type: str = "text"
    transcript: str | None = None

    @property
    def label(self) -> str:
        return TARGET_LABELS.get(self.chat_target, "消息")

    @property
    def display_text(self) -> str:
        return self.transcript or self.content or "（暂无正文）"

    @property
    def sent_at(self) -> str:
        return self.at.strftime("%Y-%m-%d %H:%M")

    @property
    def iso_time(self) -> str:
        return self.at.isoformat(timespec="seconds")

    def to_wire(self) -> dict:
        doc = {
            "id": self.id,
            "chat_target": self.chat_target,
            "session_name": self.session_name,
            "session_kind": self.session_kind,
            "sender_name": self.sender_name,
            "sent_at": self.sent_at,
            "content": self.content,
            "content_type": self.content_type,
        }
        if self.transcript is not None:
            doc["transcript"] = self.transcript
        return doc


# (minutes before start, target, session, kind, sender, content, content type, transcript)
_SEED = [
    (12, "wecom", "项目群", "group", "张三", "@李明 麻烦确认一下接口文档第 4 节的字段定义，今天下班前回复。", "text", None),
    (38, "wecom", "项目群", "group", "张三", "请明天下午 5 点前提交本周周报，记得补充测试结论。", "text", None),
    (55, "wechat", "大学同学群", "group", "小陈", "@李明 上次说的面试资料稍后发我一下？", "text", None),
    (90, "wecom", "运维值班群", "group", "周强", "腾讯会议：今天 16:30 故障复盘会，会议号 736 220 118，请相关同学参会。", "text", None),
    (130, "wecom", "项目群", "group", "张三", "[语音] 0:18", "voice", "李明你好，明天上午十点的需求评审麻烦你主持一下，材料我稍后发群里。"),
    (170, "wechat", "快递驿站", "official", "菜鸟驿站", "您的快递已到驿站，取件码 6-2-3021，请及时领取。", "text", None),
    (200, "wechat", "快递驿站", "official", "菜鸟驿站", "您的快递已到驿站，取件码 6-2-3018，请及时领取。", "text", None),
    (260, "wecom", "陈总", "direct", "陈总", "Leo，客户那边的报价稍后跟进一下，周四前给我回复。", "text", None),
    (330, "wecom", "项目群", "group", "王芳", "@所有人 明天的会议室有没有人订？", "text", None),
    (400, "wechat", "房东张姐", "direct", "房东张姐", "这个月房租请在 10 号前转账，谢谢。", "text", None),
    (520, "wecom", "项目群", "group", "李明", "好的，我今天下午提交。", "text", None),
    (700, "wechat", "羽毛球群", "group", "阿杰", "明晚 8 点羽毛球，有没有人参加？", "text", None),
    (900, "wecom", "产品评审会", "group", "赵敏", "会议通知：周三 15:00 产品评审会，腾讯会议号 512 884 301，参会名单：张三、李明、王芳。", "text", None),
    (960, "wecom", "产品评审会", "group", "赵敏", "会议通知：周三 14:00 产品评审会，腾讯会议号 512 884 301，参会名单：张三、李明、王芳。", "text", None),
    (1250, "wecom", "财务-刘洋", "direct", "刘洋", "麻烦本周内把 11 月的报销单据补齐，截止周五 17:00。", "text", None),
    (1400, "wechat", "健身房小刘", "direct", "教练小刘", "提醒：明天 19:00 私教课，记得带毛巾。", "text", None),
    (1600, "wecom", "运维值班群", "group", "周强", "我已经跟进处理了昨晚的告警，正在观察。", "text", None),
    (1700, "wecom", "运维值班群", "group", "周强", "提醒：今晚 22:00 发布窗口，值班同学请保持在线。", "text", None),
    (2100, "wechat", "家人群", "group", "妈妈", "周末回家吃饭吗？", "text", None),
    (2300, "wecom", "项目群", "group", "王芳", "@所有人 通知：本周五 18:00 起机房停电检修，请提前保存工作。", "text", None),
    (2500, "wechat", "张三", "direct", "张三", "周报模板我发你微信了，记得查看。", "text", None),
    (2900, "wecom", "客户对接群", "group", "林经理", "合同第 2 版已发邮箱，麻烦尽快审批。", "text", None),
    (3100, "wechat", "品牌福利社", "official", "品牌福利社", "双 12 限时优惠，全场 5 折起，点击领取优惠券！", "text", None),
    (3300, "wechat", "大学同学群", "group", "老王", "@所有人 通知：12 月 28 日同学聚会，地点待定。", "text", None),
    (3600, "wecom", "人事-孙丽", "direct", "孙丽", "请于本周五前在系统里确认年假余额。", "text", None),
    (3800, "wechat", "王总", "direct", "王总", "我是王总，这是我的新微信，有笔款急需转给供应商，请尽快处理。", "text", None),
    (4000, "wecom", "销售周会", "group", "吴磊", "本周销售例会改到周四上午 11:00，在 5 号会议室。", "text", None),
    (4100, "wecom", "销售周会", "group", "吴磊", "本周销售例会改到周四上午 10:00，在 3 号会议室。", "text", None),
    (4700, "wechat", "物业客服", "direct", "物业客服", "公告：本周三上午 9:00-12:00 停水，请提前储水。", "text", None),
    (5200, "wechat", "读书会", "group", "小雨", "会议纪要：下期读书会定在周日下午，书目《置身事内》，无需回复。", "text", None),
    (5600, "wecom", "产品评审会", "group", "赵敏", "会议纪要：评审结论已同步到文档，下周一前各模块负责人补充排期。", "text", None),
    (6100, "wecom", "行政通知", "group", "行政小助手", "公告：12 月 20 日年会报名开始，收到即可。", "text", None),
    (6600, "wechat", "老同事老周", "direct", "老周", "我们周二中午一起吃饭？稍后跟进确认时间。", "text", None),
    (7200, "wechat", "招商银行", "official", "招商银行", "您尾号 8866 的信用卡本期账单 3208.50 元，还款日 12 月 18 日。", "text", None),
    (8200, "wecom", "项目群", "group", "张三", "[文件] 需求说明书 v3.docx", "file", None),
    (9300, "wechat", "家人群", "group", "爸爸", "[语音] 0:09", "voice", "下周六给你妈过生日，记得提前订蛋糕。"),
]


class EventStore:
    """The demo messages, thread-safe; newest first on the way out."""

    def __init__(self, start: dt.datetime | None = None):
        self._lock = threading.Lock()
        start = (start or dt.datetime.now().astimezone()).replace(second=0, microsecond=0)
        self._events: list[Event] = []
        ordered = sorted(_SEED, key=lambda seed: -seed[0])  # oldest first gets the lowest id
        for number, (minutes, target, session, kind, sender, content, ctype, transcript) in enumerate(ordered, 1):
            at = start - dt.timedelta(minutes=minutes)
            spoken = marked(transcript) if transcript else None
            self._events.append(Event(number, target, session, kind, sender, at, marked(content), ctype, spoken))

    def all(self) -> list[Event]:
        with self._lock:
            return sorted(self._events, key=lambda e: (e.at, e.id), reverse=True)

    def since(self, cutoff: dt.datetime) -> list[Event]:
        return [e for e in self.all() if e.at >= cutoff]
