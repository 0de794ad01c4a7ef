"""Rule-based answers over the recent messages, for /api/ask and /api/chat.

They answer from the overview's own sorting: the kind lists (to-dos, follow-ups and important
messages most pressing first, meetings newest first) with the counts the overview shows, the people
who addressed the user grouped by person, a client's messages most pressing first.  A suspicious
message is never listed as something to do; where a search finds one, it is marked as such.
"""

from __future__ import annotations

import dataclasses
import datetime as dt
import itertools

from . import classify
from ..demo_data import Event
from .digest import first_of_each
from .sorting import Sorting, is_automated
from .view import Served

MAX_LINES = 6
_STOP = set("的了吗呢吧啊是有在和与我你他她它们这那哪什么怎么最近一下帮看下个些里还没")
SCAM_NOTE = "（疑似诈骗：不要转账，不要点链接）"
NO_NAME = "还不知道你的姓名或别名，下面只有一对一的消息。请在“设置与接入 -> 个人识别”填写后再问。"

CLIENT = "客户"
MEETING_WORDS = ("开会", "会议", "参会", "与会", "会要开", "开什么会", "会议名单")
TODO_WORDS = ("待办", "要做", "处理", "任务", "todo", "TODO", "催", "做什么")
FOLLOW_UP_WORDS = ("稍后", "跟进", "提醒")
IMPORTANT_WORDS = ("重要", "要紧")
NOTICE_WORDS = ("通知", "公告")
WHO_WORDS = ("@我", "提到我", "和我相关", "与我相关", "找我", "找过我", "谁找", "有没有我", "需要我", "让我")
PRESSING = ("todo", "follow_up", "important")  # the kinds whose order says what to do first


@dataclasses.dataclass
class Answer:
    title: str
    answer: str
    matched_count: int


def _line(event: Event, sorting: Sorting | None = None) -> str:
    """One message; a to-do or follow-up with its deadline, a suspicious one marked."""
    text = event.display_text.replace("\n", " ")
    line = f"- {event.label}｜{event.session_name}｜{event.sender_name} {event.at.strftime('%m-%d %H:%M')}：{text}"
    if sorting is not None and sorting.suspicious:
        return line + SCAM_NOTE
    if sorting is not None and sorting.due is not None and (sorting.todo or sorting.follow_up):
        if sorting.due <= event.at.timestamp():  # asked for now ("立即", an emergency): due as it was sent
            return line + "（立即）"
        due = dt.datetime.fromtimestamp(sorting.due, event.at.tzinfo)
        line += f"（截止 {due.strftime('%m-%d %H:%M')}）"
    return line


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


def _search(question: str, events: list[Event]) -> list[Event]:
    """Messages whose chat, sender or text share words with the question, best first.

    A word is a pair of neighbouring characters once white space is taken out, so a text shares
    a pair exactly when its text without white space contains it (made as it is read: the week's
    texts are held once, with the messages)."""
    grams = list(_bigrams(question))
    scored = []
    for index, event in enumerate(events):
        if (event.session_name and event.session_name in question) or (event.sender_name and event.sender_name in question):
            score = 10
        else:
            text = event.display_text
            if any(c.isspace() for c in text):
                text = "".join(text.split())
            score = sum(1 for gram in grams if gram in text)
        if score > 0:
            scored.append((-score, index, event))
    return [event for _, _, event in sorted(scored, key=lambda s: (s[0], s[1]))]


class _Scope:
    """The messages one question is about (one client or both): those not excluded, one per
    duplicate key, with their sortings, and the kind lists as the overview has them."""

    def __init__(self, served: Served, target: str | None):
        view = served.view
        events, sortings, keys = view.pool
        chosen = [i for i, e in enumerate(events) if target is None or e.chat_target == target]
        kept = first_of_each(keys, chosen)
        self.total = len(chosen)
        self.pool = [events[i] for i in kept]
        self.sortings = [sortings[i] for i in kept]
        self._view = view
        self.lists = {kind: [e for e in found if target is None or e.chat_target == target]
                      for kind, found in served.lists.items()}
        self.notices = [e for e in view.digest.notices if target is None or e.chat_target == target]
        self.names = view.names

    def line(self, event: Event) -> str:
        return _line(event, self._view.sorting_of(event))

    def pressing(self, events: list[Event]) -> list[Event]:
        """The messages in the order of what to do first: as the to-do, follow-up and important
        lists have them, then the others as given (newest first)."""
        rank = {}
        for kind in PRESSING:
            for event in self.lists[kind]:
                rank.setdefault(id(event), len(rank))
        return sorted(events, key=lambda e: rank.get(id(e), len(rank)))

    def search(self, question: str) -> list[Event]:
        return _search(question, self.pool)

    @classmethod
    def of(cls, served: Served, target: str | None) -> "_Scope":
        return served.kept(("answers", target), lambda: cls(served, target))


def _body(header: str, lines, empty: str) -> str:
    """The header and the first MAX_LINES lines (made only for those)."""
    lines = list(itertools.islice(lines, MAX_LINES))
    if not lines:
        return f"{header}\n{empty}"
    return "\n".join([header] + lines)


def answer(question: str, served: Served, hours: int = 168) -> Answer:
    """served: the overview of the period asked about (its view, summary and kind lists)."""
    question = question.strip()
    target, label = _scope(question)
    scope = _Scope.of(served, target)
    days = f"最近 {hours} 小时" if hours % 24 else f"最近 {hours // 24} 天"
    if not scope.pool:
        return Answer("没有消息", f"{days}没有可用的{label}消息。请确认读取设置已开启。", 0)
    if not question:
        return Answer(f"{label}概览", _overview(scope, days, label), len(scope.pool))
    found = _keyword_answer(question, scope, days, label)
    if found is not None:
        return found
    found = scope.search(question)
    if found:
        return Answer("相关消息", _body(f"在{days}{label}消息里找到 {len(found)} 条相关内容：",
                                    map(scope.line, found), ""), len(found))
    return Answer(f"{label}概览", "没有找到直接相关的消息，先给你最近的概况：\n" + _overview(scope, days, label), 0)


def _kind_answer(scope: _Scope, kind: str, title: str, header: str, empty: str) -> Answer:
    found = scope.lists[kind]
    return Answer(title, _body(f"{header}（共 {len(found)} 条）：", map(scope.line, found), empty), len(found))


def _keyword_answer(question: str, scope: _Scope, days: str, label: str) -> Answer | None:
    """The answer to a question about a client, meetings, to-dos, follow-ups, important messages,
    notices or who looked for the user; None otherwise."""
    if CLIENT in question:
        return _client_answer(scope, days, label)
    if any(w in question for w in MEETING_WORDS):
        found = scope.lists["meeting"]
        if "我" in question and scope.names:
            mine = [e for e in found if classify.mentions(e.session_name + " " + e.display_text, scope.names)]
            found = mine or found
        return Answer("会议安排", _body(f"{days}{label}里的会议相关消息（共 {len(found)} 条，新的在前）：",
                                     map(scope.line, found), "没有识别到会议、参会名单或会议纪要。"), len(found))
    if any(w in question for w in TODO_WORDS):
        return _kind_answer(scope, "todo", "待办事项", f"{days}{label}里需要你处理的事，最紧急的在前",
                            "没有明显的待办或催办。")
    if any(w in question for w in FOLLOW_UP_WORDS):
        return _kind_answer(scope, "follow_up", "稍后跟进", f"{days}{label}里需要稍后跟进的事，最紧急的在前",
                            "没有明确的跟进事项。")
    if any(w in question for w in IMPORTANT_WORDS):
        return _kind_answer(scope, "important", "重要消息", f"{days}{label}里的重要消息，最紧急的在前",
                            "没有特别重要的消息。")
    if any(w in question for w in NOTICE_WORDS):
        found = scope.notices
        return Answer("通知公告", _body(f"{days}{label}里的通知和公告：", map(scope.line, found),
                                    "没有通知或公告。"), len(found))
    if any(w in question for w in WHO_WORDS):
        return _who_answer(scope, days, label)
    return None


def _client_answer(scope: _Scope, days: str, label: str) -> Answer:
    found = scope.pressing([e for e, s in zip(scope.pool, scope.sortings) if not s.suspicious and
                            any(CLIENT in text for text in (e.session_name, e.sender_name, e.display_text))])
    return Answer("客户消息", _body(f"{days}{label}里和客户有关的消息（共 {len(found)} 条，最紧急的在前）：",
                                 map(scope.line, found), "没有和客户有关的消息。"), len(found))


def _who_answer(scope: _Scope, days: str, label: str) -> Answer:
    """The people who addressed the user (one-to-one, or naming or @-mentioning the user), the one
    with the most pressing message first, each with that message."""
    names = set(scope.names)
    found = []
    for event, sorting in zip(scope.pool, scope.sortings):
        if sorting.suspicious or event.sender_name.strip() in names:
            continue
        if sorting.mine or (event.session_kind == "direct" and not is_automated(event)):
            found.append(event)
    people: dict[str, list[Event]] = {}
    for event in scope.pressing(found):
        people.setdefault(event.sender_name, []).append(event)
    lines = (f"- {name}（{len(said)} 条）：{scope.line(said[0])[2:]}" for name, said in people.items())
    header = f"{days}{label}里找过你的人（{len(people)} 人，{len(found)} 条消息，最紧急的在前）："
    text = _body(header, lines, "没有人找过你。")
    if not scope.names:
        text += "\n" + NO_NAME
    return Answer("和你相关", text, len(found))


def _overview(scope: _Scope, days: str, label: str) -> str:
    lists = scope.lists
    lines = [f"{days}共 {scope.total} 条{label}消息，待办 {len(lists['todo'])} 条，重要 {len(lists['important'])} 条，"
             f"会议相关 {len(lists['meeting'])} 条，稍后跟进 {len(lists['follow_up'])} 条。"]
    if lists["todo"]:
        lines.append("优先处理：")
        lines += [scope.line(e) for e in lists["todo"][:3]]
    lines.append("最近消息：")
    lines += [scope.line(e) for e in scope.pool[:3]]
    return "\n".join(lines)
