"""Rule-based answers over the recent messages, for /api/ask and /api/chat."""

from __future__ import annotations

import dataclasses
import json
import threading

from . import classify
from ..demo_data import Event
from .digest import Digest, event_key, first_of_each

MAX_LINES = 6
_STOP = set("的了吗呢吧啊是有在和与我你他她它们这那哪什么怎么最近一下帮看下个些里还没")


@dataclasses.dataclass
class Answer:
    title: str
    answer: str
    matched_count: int


def _line(event: Event) -> str:
    text = event.display_text.replace("\n", " ")
    return f"- {event.label}｜{event.session_name}｜{event.sender_name} {event.at.strftime('%m-%d %H:%M')}：{text}"


def _scope(question: str) -> tuple[str | None, str]:
    folded = question.casefold()
    if "企业微信" in question or "企微" in question or "wecom" in folded or "wework" in folded:
        return "wecom", "企业微信"
    if "微信" in question:
        return "wechat", "微信"
    return None, "微信和企业微信"


def _bigrams(text: str) -> set[str]:
    chars = [c for c in text if not c.isspace()]
    return {a + b for a, b in zip(chars, chars[1:]) if a not in _STOP or b not in _STOP}


def _search(question: str, events: list[Event], texts: list[str] | None = None) -> list[Event]:
    """Messages whose chat, sender or text share words with the question, best first.

    A word is a pair of neighbouring characters once white space is taken out, so a text shares
    a pair exactly when its text without white space (`texts`, when given) contains it."""
    grams = list(_bigrams(question))
    if texts is None:
        texts = _plain_texts(events)
    scored = []
    for index, (event, text) in enumerate(zip(events, texts)):
        if (event.session_name and event.session_name in question) or (event.sender_name and event.sender_name in question):
            score = 10
        else:
            score = sum(1 for gram in grams if gram in text)
        if score > 0:
            scored.append((-score, index, event))
    return [event for _, _, event in sorted(scored, key=lambda s: (s[0], s[1]))]


def _plain_texts(events: list[Event]) -> list[str]:
    return ["".join(e.display_text.split()) for e in events]


class _Plain:
    """Works everything out afresh; the core passes its Week, which keeps results per message."""

    @staticmethod
    def keys(events):
        return [event_key(e) for e in events]

    @staticmethod
    def sortings(events, config):
        return None


class _Scope:
    """The messages one question is about (one client or both, duplicates removed), with their
    digest and search texts worked out when first needed."""

    def __init__(self, events: list[Event], config: dict, completed_keys, target: str | None, week):
        keys = week.keys(events)
        sortings = week.sortings(events, config)
        kept = first_of_each(keys, [i for i, e in enumerate(events) if target is None or e.chat_target == target])
        self.pool = [events[i] for i in kept]
        self._keys = [keys[i] for i in kept]
        self._sortings = [sortings[i] for i in kept] if sortings is not None else None
        self._config = config
        self._completed_keys = completed_keys
        self._digest: Digest | None = None
        self._texts: list[str] | None = None
        self._lock = threading.Lock()

    @property
    def digest(self) -> Digest:
        with self._lock:
            if self._digest is None:
                self._digest = Digest(self.pool, self._config, self._completed_keys, sortings=self._sortings,
                                      keys=self._keys)
            return self._digest

    def search(self, question: str) -> list[Event]:
        with self._lock:
            if self._texts is None:
                self._texts = _plain_texts(self.pool)
        return _search(question, self.pool, self._texts)

    @classmethod
    def of(cls, events, config: dict, completed_keys, target: str | None, week) -> "_Scope":
        memo = getattr(events, "memo", None)
        if memo is None:
            return cls(events, config, completed_keys, target, week)
        key = ("answers", target, json.dumps(config, sort_keys=True, ensure_ascii=False), frozenset(completed_keys))
        scope = memo.get(key)
        if scope is None:
            scope = memo[key] = cls(events, config, completed_keys, target, week)
        return scope


def _body(header: str, events: list[Event], empty: str) -> str:
    if not events:
        return f"{header}\n{empty}"
    return "\n".join([header] + [_line(e) for e in events[:MAX_LINES]])


def answer(question: str, events: list[Event], config: dict, completed_keys=frozenset(), hours: int = 168,
           week=None) -> Answer:
    """events: the messages of the period asked about, newest first; week: keeps what is worked
    out per message and per list (triage.week.Week), or None to work everything out afresh."""
    question = question.strip()
    target, label = _scope(question)
    scope = _Scope.of(events, config, completed_keys, target, week or _Plain)
    pool = scope.pool
    days = f"最近 {hours} 小时" if hours % 24 else f"最近 {hours // 24} 天"
    if not pool:
        return Answer("没有消息", f"{days}没有可用的{label}消息。请确认读取设置已开启。", 0)
    if not question:
        return Answer(f"{label}概览", _overview(scope.digest, days, label), len(pool))
    found = _keyword_answer(question, scope, days, label)
    if found is not None:
        return found
    found = scope.search(question)
    if found:
        return Answer("相关消息", _body(f"在{days}{label}消息里找到 {len(found)} 条相关内容：", found, ""), len(found))
    return Answer(f"{label}概览", "没有找到直接相关的消息，先给你最近的概况：\n" + _overview(scope.digest, days, label), 0)


def _keyword_answer(question: str, scope: _Scope, days: str, label: str) -> Answer | None:
    """The answer to a question about meetings, to-dos, follow-ups, notices or the user; None otherwise."""
    if any(w in question for w in ("开会", "会议", "参会", "与会", "会要开", "开什么会", "会议名单")):
        digest = scope.digest
        found = digest.meetings
        if "我" in question and digest.names:
            mine = [e for e in found if classify.mentions(e.session_name + " " + e.display_text, digest.names)]
            found = mine or found
        return Answer("会议安排", _body(f"{days}{label}里的会议相关消息：", found, "没有识别到会议、参会名单或会议纪要。"), len(found))
    if any(w in question for w in ("待办", "要做", "要处理", "任务", "todo", "TODO", "催")):
        found = scope.digest.todos
        return Answer("待办事项", _body(f"{days}{label}里需要你处理的事：", found, "没有明显的待办或催办。"), len(found))
    if any(w in question for w in ("稍后", "跟进", "提醒")):
        found = scope.digest.follow_ups
        return Answer("稍后跟进", _body(f"{days}{label}里需要稍后跟进的事：", found, "没有明确的跟进事项。"), len(found))
    if any(w in question for w in ("通知", "公告")):
        found = scope.digest.notices
        return Answer("通知公告", _body(f"{days}{label}里的通知和公告：", found, "没有通知或公告。"), len(found))
    if any(w in question for w in ("@我", "提到我", "和我相关", "与我相关", "找我", "有没有我", "需要我", "让我")):
        digest = scope.digest
        if not digest.names:
            return Answer("和你相关", "还不知道你的姓名或别名。请在“设置与接入 -> 个人识别”填写后再问。", 0)
        found = digest.mine
        return Answer("和你相关", _body(f"{days}{label}里提到你（{'、'.join(digest.names)}）的消息：", found, "没有提到你的消息。"), len(found))
    return None


def _overview(digest: Digest, days: str, label: str) -> str:
    lines = [f"{days}共 {len(digest.events)} 条{label}消息，待办 {len(digest.todos)} 条，"
             f"会议相关 {len(digest.meetings)} 条，稍后跟进 {len(digest.follow_ups)} 条。"]
    if digest.todos:
        lines.append("优先处理：")
        lines += [_line(e) for e in digest.todos[:3]]
    lines.append("最近消息：")
    lines += [_line(e) for e in digest.events[:3]]
    return "\n".join(lines)
