"""Keyword rules by which the core sorts messages into to-dos, meetings, notices and so on."""

from __future__ import annotations

import re

REQUEST_MARKERS = ("需要", "麻烦", "尽快", "截止", "请于", "流程到达", "待处理", "待确认", "待回复")
ACTION_WORDS = ("确认", "安排", "处理", "催", "付款", "回款", "报修", "审批", "补充", "提交",
                "发送", "提供", "登记", "回复", "转账", "补齐")
FOLLOW_UP_WORDS = ("稍后", "跟进", "提醒", "回头", "催一下", "待回复", "待确认")
MEETING_WORDS = ("会议", "开会", "参会", "与会", "例会", "纪要", "议程", "会议室", "腾讯会议",
                 "飞书会议", "参会名单", "评审")
BROADCAST_WORDS = ("@所有人", "@全体", "通知", "公告")
QUESTION_MARKS = ("吗", "？", "?", "是否", "有没有", "要不要")
NO_REPLY_WORDS = ("无需回复", "不用回复", "不需回复", "收到即可")
TOPIC_WORDS = {
    "会议": MEETING_WORDS,
    "周报": ("周报", "日报"),
    "报销财务": ("报销", "付款", "回款", "账单", "房租", "转账", "合同"),
    "发布运维": ("发布", "告警", "值班", "压测", "停电", "机房"),
    "通知公告": BROADCAST_WORDS,
    "快递": ("快递", "取件"),
    "聚会活动": ("聚会", "羽毛球", "吃饭", "年会", "生日"),
}

_PLEASE = re.compile(r"(^|[，。；;:：\s])请(?!假|柬|帖|愿)")
_SELF_PROGRESS = re.compile(r"(我|我们|本人).{0,6}(已|已经|持续|正在|会).{0,12}"
                            r"(跟进|关注|处理|协调|推动|确认|安排|沟通|邀请)")
_DIGITS = re.compile(r"\d+")
_SPACES = re.compile(r"\s+")


def contains_any(text: str, words, ignore_case: bool = False) -> bool:
    if ignore_case:
        folded = text.casefold()
        return any(w and w.casefold() in folded for w in words)
    return any(w and w in text for w in words)


def content_key(text: str) -> str:
    """Two texts that differ only in digits or white space share this key."""
    return _SPACES.sub("", _DIGITS.sub("#", text))


def has_request_marker(text: str) -> bool:
    return contains_any(text, REQUEST_MARKERS) or bool(_PLEASE.search(text))


def is_self_progress(text: str) -> bool:
    return bool(_SELF_PROGRESS.search(text))


def is_notice(text: str) -> bool:
    return contains_any(text, BROADCAST_WORDS)


def is_low_priority_notice(text: str) -> bool:
    if contains_any(text, NO_REPLY_WORDS):
        return True
    return is_notice(text) and not contains_any(text, QUESTION_MARKS)


def is_meeting(text: str) -> bool:
    return contains_any(text, MEETING_WORDS)


def is_todo(text: str, keywords=()) -> bool:
    if is_low_priority_notice(text):
        return False
    explicit = has_request_marker(text)
    if is_self_progress(text) and not explicit:
        return False
    return explicit or contains_any(text, ACTION_WORDS) or contains_any(text, keywords, ignore_case=True)


def is_follow_up(text: str) -> bool:
    if is_self_progress(text) and not has_request_marker(text):
        return False
    return contains_any(text, FOLLOW_UP_WORDS)


def mentions(text: str, names) -> bool:
    """Whether the text names the user (any alias, case-insensitive) or says @我."""
    return "@我" in text or contains_any(text, names, ignore_case=True)


def topics_of(text: str) -> list[str]:
    return [topic for topic, words in TOPIC_WORDS.items() if contains_any(text, words)]
