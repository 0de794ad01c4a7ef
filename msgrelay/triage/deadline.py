"""When a message wants something done: the first deadline phrase, as an absolute time.

The phrase is read relative to the message's own time, never the clock, so a message always gets
the same deadline: "今晚十点前" sent on Monday afternoon is Monday 22:00, "周四前" is that week's
Thursday (the next one when Thursday has passed), "明天上午" is noon of the next day.  A day without an
hour ends at END_OF_DAY.
"""

from __future__ import annotations

import calendar
import datetime as dt
import re

from .patterns import CL

END_OF_DAY = 18  # a working day's end: "今天" means before people go home
PART_HOURS = {"上午": 12, "早上": 9, "早": 9, "中午": 12, "下午": 18, "傍晚": 19, "晚上": 22, "晚": 22, "凌晨": 6,
              "夜": 23, "下班": 18}
_NUMERALS = {"零": 0, "一": 1, "二": 2, "两": 2, "三": 3, "四": 4, "五": 5, "六": 6, "七": 7, "八": 8, "九": 9, "十": 10}
_WEEKDAYS = {"一": 0, "二": 1, "三": 2, "四": 3, "五": 4, "六": 5, "日": 6, "天": 6, "末": 5,
             "mon": 0, "tue": 1, "wed": 2, "thu": 3, "fri": 4, "sat": 5, "sun": 6}
_RELATIVE = {"今": 0, "明": 1, "后": 2, "大后": 3, "today": 0, "tonight": 0, "tomorrow": 1, "eod": 0}

_NUM = r"(?:\d{1,2}|[一二两三四五六七八九十]{1,3})"
_DATE = re.compile(r"(\d{1,2})\s*月\s*(\d{1,2})\s*[日号]|(?<![\d/])(\d{1,2})/(\d{1,2})(?![\d/])")
_MONTH_DAY = re.compile(r"(?<![\d月.:])(\d{1,2})\s*[号日](?![\d元])")
_RELATIVE_DAY = re.compile(r"(大后|今|明|后)(天|日|晚|早|儿|夜)|\b(today|tonight|tomorrow|eod)\b", re.IGNORECASE)
_WEEKDAY = re.compile(r"(下+)?(?:周|星期|礼拜)([一二三四五六日天末])|\b(next )?(mon|tue|wed|thu|fri|sat|sun)[a-z]*\b",
                      re.IGNORECASE)
_WEEK = re.compile(r"(本周|这周|下周|this week|next week)", re.IGNORECASE)
_MONTH_END = re.compile(r"月底|月末|end of (the )?month", re.IGNORECASE)
_IN_DAYS = re.compile(r"(\d{1,3})\s*天(后|内|之内)")
_CLOCK = re.compile(r"(?<!\d)([01]?\d|2[0-3])[:：]([0-5]\d)(?!\d)")
_HOUR = re.compile(r"(上午|早上|中午|下午|傍晚|晚上|凌晨|今晚|明晚|明早|晚|早)?\s*(" + _NUM + r")\s*点(半|(\d{1,2})\s*分?)?")
_AMPM = re.compile(r"\b(\d{1,2})(?::(\d{2}))?\s*(am|pm)\b", re.IGNORECASE)
_PART = re.compile(r"(上午|早上|中午|下午|傍晚|晚上|凌晨|下班)|(今|明)(晚|早)")


def _number(text: str) -> int:
    if text.isdigit():
        return int(text)
    if text == "十":
        return 10
    if text.startswith("十"):
        return 10 + _NUMERALS.get(text[1:], 0)
    if "十" in text:
        tens, _, ones = text.partition("十")
        return _NUMERALS.get(tens, 0) * 10 + _NUMERALS.get(ones, 0)
    return _NUMERALS.get(text, 0)


def _day(text: str, base: dt.date) -> dt.date | None:
    if m := _DATE.search(text):
        month, day = (int(m.group(1)), int(m.group(2))) if m.group(1) else (int(m.group(3)), int(m.group(4)))
        # an earlier month is next year's ("1月5日" sent in December); a day gone by this month is overdue
        year = base.year + (1 if month < base.month else 0)
        if 1 <= month <= 12 and 1 <= day <= calendar.monthrange(year, month)[1]:
            return dt.date(year, month, day)
    if m := _RELATIVE_DAY.search(text):
        key = (m.group(1) or m.group(3)).lower()
        return base + dt.timedelta(days=_RELATIVE[key])
    if m := _WEEKDAY.search(text):
        later = bool(m.group(1) or m.group(3))
        wanted = _WEEKDAYS[(m.group(2) or m.group(4)).lower()]
        ahead = (wanted - base.weekday()) % 7
        if later:
            ahead = 7 - base.weekday() + wanted
        return base + dt.timedelta(days=ahead)
    if m := _IN_DAYS.search(text):
        return base + dt.timedelta(days=int(m.group(1)))
    if m := _MONTH_DAY.search(text):
        day = int(m.group(1))
        month, year = base.month, base.year
        if day < base.day:
            month, year = (1, year + 1) if month == 12 else (month + 1, year)
        if 1 <= day <= calendar.monthrange(year, month)[1]:
            return dt.date(year, month, day)
    if _MONTH_END.search(text):
        return base.replace(day=calendar.monthrange(base.year, base.month)[1])
    if m := _WEEK.search(text):
        friday = base + dt.timedelta(days=(4 - base.weekday()) % 7)
        return friday + dt.timedelta(days=7) if m.group(1).lower() in ("下周", "next week") else friday
    return None


def _time(text: str) -> tuple[int, int] | None:
    part = _PART.search(text)
    label = (part.group(1) or part.group(3)) if part else ""
    afternoon = label in ("下午", "傍晚", "晚上", "晚")
    if m := _CLOCK.search(text):
        return int(m.group(1)), int(m.group(2))
    if m := _AMPM.search(text):
        hour = int(m.group(1)) % 12 + (12 if m.group(3).lower() == "pm" else 0)
        return hour, int(m.group(2) or 0)
    if m := _HOUR.search(text):
        hour = _number(m.group(2))
        minute = 30 if m.group(3) == "半" else int(m.group(4) or 0)
        own = m.group(1) or ""
        if (afternoon or own in ("下午", "傍晚", "晚上", "今晚", "明晚", "晚") or (hour < 7 and own not in
                                                                                ("凌晨", "早上", "明早", "早"))) and hour < 12:
            hour += 12
        if 0 <= hour <= 23 and 0 <= minute <= 59:
            return hour, minute
    if label:
        return PART_HOURS.get(label, END_OF_DAY), 0
    return None


_CLAUSE = re.compile(CL + "+")
_MARKED = re.compile(r"前|截止|以内|之内|给我|发我|交|\bby\b|\bbefore\b|\bdue\b", re.IGNORECASE)


def due_of(text: str, at: dt.datetime) -> float | None:
    """Epoch seconds of the deadline in text, read relative to at (aware); None without one.  A clause
    that marks a deadline ("…前", "截止", "…给我") wins over the first time mentioned."""
    marked = [c for c in _CLAUSE.findall(text) if _MARKED.search(c) and (_day(c, at.date()) or _time(c))]
    if marked:
        text = marked[0]
    base = at.date()
    day = _day(text, base)
    clock = _time(text)
    if day is None and clock is None:
        return None
    hour, minute = clock if clock is not None else (END_OF_DAY, 0)
    when = dt.datetime.combine(day or base, dt.time(hour, minute), tzinfo=at.tzinfo)
    return when.timestamp()
