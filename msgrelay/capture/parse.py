"""Turns a chat client's notification (title and body) into a message: chat, sender, text, kind.

WeChat and WeCom put the chat's name in the title.  In a group the body reads "sender: text" or
"sender：text", sometimes after an unread count such as "[3条]"; in a private chat the body is the
text alone and the title is the contact.  A private text may itself start with a label and a colon
("地址：…"): a chat known to be private keeps its text whole, and so does a text whose would-be
sender is a common label.  A text longer than the stored limit is cut and says so at its end.
"""

from __future__ import annotations

import dataclasses
import html
import re

MAX_SESSION = 200
MAX_SENDER = 100
MAX_CONTENT = 4000
SHORTENED = f"……【消息过长，只保存了前 {MAX_CONTENT} 字】"
# Words that start a line of a message as its label ("地址：…"), never a sender's name.
LABELS = frozenset("""
地址 地点 位置 时间 日期 时间地点 电话 手机 手机号 联系电话 联系方式 微信 微信号 邮箱 邮件 备注 提醒 温馨提示
注意 注 通知 公告 会议号 会议室 会议主题 议程 链接 网址 网盘 提取码 密码 账号 账户 卡号 户名 开户行 金额 价格
费用 订单号 单号 快递单号 取件码 验证码 原因 事由 主题 标题 内容 问题 答案 回复 结论 总结 附件 说明 要求 截止
截止时间 截止日期 姓名 名字 身份证 工号 部门 职位 岗位 例如 比如 另外 补充 更正 重要 紧急 进度 状态 结果 目标
计划 待办 任务 需求 bug note ps p.s. re fyi todo q a tips
""".split())

_COUNT = re.compile(r"^\s*\[\d+条\]\s*")
# A sender is a short name without colons or line breaks, followed by a colon of either width.
_SENDER = re.compile(r"^(?P<sender>[^:：\n]{1,32}?)\s*(?P<colon>[:：])\s*(?P<text>.+)$", re.DOTALL)
_TAGS = re.compile(r"</?(?:b|i|u|a|img|br|span|p)\b[^>]*>", re.IGNORECASE)
_KINDS = {"[图片]": "image", "[语音]": "voice", "[视频]": "video", "[文件]": "file", "[动画表情]": "sticker",
          "[表情]": "sticker", "[链接]": "link", "[位置]": "location"}


@dataclasses.dataclass(frozen=True)
class Parsed:
    session_name: str
    session_kind: str  # "group" (a sender was named) or "direct"
    sender_name: str
    content: str
    content_type: str


def plain(text: str) -> str:
    """Notification bodies may carry the simple markup of the notification protocol."""
    return html.unescape(_TAGS.sub("", text)).strip()


def _looks_like_a_sender(sender: str, text: str) -> bool:
    if text.startswith("//"):  # "https://…"
        return False
    if sender[-1:].isdigit() and text[:1].isdigit():  # a clock time such as 10:30
        return False
    return not sender.isspace()


def parse(title: str, body: str, fallback_session: str, known_kind=None) -> Parsed | None:
    """None when the body carries no text (the client's previews are switched off).

    known_kind(session): the kind ("group", "direct", ...) stored for the chat so far, or None."""
    session = plain(title or "")[:MAX_SESSION] or fallback_session
    text = _COUNT.sub("", plain(body or ""))
    if not text:
        return None
    known = known_kind(session) if known_kind is not None else None
    sender, kind = session, "group" if known == "group" else "direct"
    match = _SENDER.match(text)
    if match and _looks_like_a_sender(match.group("sender"), match.group("text")):
        named = match.group("sender").strip()[:MAX_SENDER]
        if named == session:  # a client that names the contact in a private chat
            text = match.group("text").strip()
        elif named.casefold() not in LABELS and known != "direct":
            sender, kind = named, "group"
            text = match.group("text").strip()
    if len(text) > MAX_CONTENT:
        text = text[:MAX_CONTENT] + SHORTENED
    content_type = next((k for prefix, k in _KINDS.items() if text.startswith(prefix)), "text")
    return Parsed(session, kind, sender, text, content_type)
