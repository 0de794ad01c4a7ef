"""Whether a message announces, schedules, moves or cancels a meeting the user would attend or see."""

from __future__ import annotations

import re

from . import words
from ..demo_data import Event
from .patterns import English, alternatives, any_of, clauses, literal

RESCHEDULE = literal(words.RESCHEDULE)
ATTEND = literal(words.ATTEND)
ROLE = any_of(words.MEETING_ROLES)
MEETING_LINK = literal(words.MEETING_LINKS)

_MEETING = any_of(words.MEETING_WORDS)
_MEETING_KIND = any_of([kind + f"会(?![{words.NOT_A_MEETING_AFTER}])" for kind in words.MEETING_KINDS] +
                       [words.THE_MEETING])
_MEETING_CALL = re.compile(r"(?:开|拉|约|碰|召开|组织)(?:个|一个|一下)?(?:短|小|电话|视频|线上)?会(?![员计议])")
_MEETING_ENGLISH = re.compile(r"(?:" + "|".join(words.MEETING_ENGLISH) + r")(?![a-z0-9:-])")  # on lower case
_NOT_MEETING = any_of(words.NOT_MEETING)
_NOT_MEETING_ENGLISH = English(words.NOT_MEETING_ENGLISH)
_AROUND = any_of(words.AROUND_A_MEETING)
_CALENDAR = any_of(words.CALENDAR_SENDERS)
_EVENTS = "(?:" + alternatives(words.MEETING_EVENTS) + ")(?!" + alternatives(words.NOT_AN_EVENT_AFTER) + ")"
_MEETING_EVENT = re.compile(_EVENTS)
_DATED_EVENT = re.compile(words.DAY_WORDS + r"[^，,。；;！!？?\n再]{0,10}?" + _EVENTS)  # 周一评审, not 再讨论
_SENDER_ALONE = re.compile(r"我(?!们|约|订|定了|安排|拉了|组织|发起)")  # "我约了周五的评审" schedules it for others
_WITH_READER = re.compile(r"你|您|咱|大家|我们|各位|all|@")
_TOGETHER = re.compile(r"一起|咱|陪我|跟我(?!说|讲|汇报|同步|反馈|回)")  # not "搞定了跟我说一声"
_PLACE = any_of(words.MEETING_PLACE)
_OCCASION = re.compile(words.OCCASION)
_SUMMONS = literal(words.SUMMONS)
_DATED_SUMMONS = re.compile(words.DAY_WORDS + r"[^，,。；;！!？?\n]{0,6}?(?:" + alternatives(words.SUMMONS) + ")")
_TOGETHER_EVENT = any_of([words.TOGETHER_EVENT])
_CHAT = literal(words.CHAT_EVENTS)
_ROOM_CHATTER = any_of(words.ROOM_CHATTER)
_MISSING_IT = re.compile(words.MISSING_IT)
_NOT_NAMED = re.compile("(?:" + alternatives(words.NOT_NAMED_MEETING) + ")$")
_CLOCK = re.compile(r"\d{1,2}\s*[:：]\s*\d{2}|(?:\d{1,2}|[一二两三四五六七八九十]{1,3})\s*点|\b\d{1,2}\s*(?:am|pm)\b", re.I)


def is_meeting(text: str, event: Event, automated: bool) -> bool:
    """Meeting words, a calendar service, or an event with a time, a change or a role; not minutes,
    review comments, the room, an event that is over or only the sender's own."""
    if _NOT_MEETING.search(text) or _NOT_MEETING_ENGLISH.search(text):
        return False
    if _MISSING_IT.search(text) and "你" not in text and "您" not in text:
        return False
    room = "会议室" in text
    if room and _ROOM_CHATTER.search(text) and not RESCHEDULE.search(text):
        return False  # "五楼会议室投影仪维修中", not "会议室被占了，改到 15 楼大会议室"
    if _AROUND.search(text) and not _CLOCK.search(text):
        return False
    if automated and _CALENDAR.search(event.sender_name):
        return True
    if _MEETING.search(text) or _MEETING_KIND.search(text) or _MEETING_CALL.search(text):
        return True
    if _english_meeting(text):
        return True
    if _own_events_only(text):
        return False
    event = _MEETING_EVENT.search(text)
    if event or _TOGETHER_EVENT.search(text):
        # an event with a time, a change or a role ("设计评审下周二上午 10 点"), or right after a day ("周一评审");
        # a talk only with a time ("方便聊聊吗" is none)
        if _CLOCK.search(text) or _DATED_EVENT.search(text):
            return True
        chat = bool(event) and _CHAT.fullmatch(event.group(0)) and not _MEETING_EVENT.search(text, event.end())
        if not chat and (RESCHEDULE.search(text) or ATTEND.search(text)):
            return True
    if _SUMMONS.search(text) and (_CLOCK.search(text) or _DATED_SUMMONS.search(text)):
        return True
    if (room or "会场" in text or _OCCASION.search(text)) and RESCHEDULE.search(text):
        return True  # "现场那次挪到周四", "明天的会地方换了，改到一楼小会议室"
    # "周四 14:00 在 A502 过一遍根因", "下周三下午两点开家长会"
    return bool((_PLACE.search(text) or _named_meeting(text)) and _CLOCK.search(text))


def _named_meeting(text: str) -> bool:
    """A gathering named by what it is about: 家长会, 战略会; not 机会, 我会, 委员会."""
    at = text.find("会", 2)
    while at > 0:
        after = text[at + 1:at + 2]
        if (not after or after in words.NAMED_MEETING_ENDS) \
                and all("\u4e00" <= c <= "\u9fff" for c in text[at - 2:at]) \
                and not _NOT_NAMED.search(text[max(0, at - 3):at + 1]):
            return True
        at = text.find("会", at + 1)
    return False


def _english_meeting(text: str) -> bool:
    """An English meeting word, whole also where a Chinese character touches it ("周五的1:1"), not in
    "on-call"."""
    lower = text.lower()  # faster than a case-blind pattern
    for hit in _MEETING_ENGLISH.finditer(lower):
        before = lower[hit.start() - 1:hit.start()]
        if not (before.isascii() and (before.isalnum() or before == "-")):
            return True
    return False


def _own_events_only(text: str) -> bool:
    """Every event named is the sender's own, without the reader: "我下午要跟老板汇报"."""
    if _TOGETHER.search(text):
        return False
    named = [c for c in clauses(text) if _MEETING_EVENT.search(c)]
    return bool(named) and all(_SENDER_ALONE.search(c) and not _WITH_READER.search(c) for c in named)
