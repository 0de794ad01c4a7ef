"""The assistant behind /api/chat and /api/ask: the configured AI provider first, the rules as fallback.

The provider gets the question, the conversation so far (per session, in memory, bounded) and the
stored messages of the last 7 days that the user did not exclude, newest first, trimmed to a
bounded size, those that look like a scam marked so.  When AI is off the rules answer as they
always did; when the call fails the rules answer, behind one short line that says why the first
time a failure happens.  Settings that cannot work (no key, a refused address) are said once, in
the settings' AI card (the setup item), not in every answer.
"""

from __future__ import annotations

import collections
import dataclasses
import datetime as dt
import threading
import time
import uuid

from . import settings as ai_settings
from ..triage import answers
from ..demo_data import Event
from ..triage.digest import user_names
from ..triage.view import Served
from .provider import AIStatus, ProviderClient, ProviderError, elapsed_ms

MAX_SESSIONS = 200
ASK_TIMEOUT = 12.0        # /api/ask is a GET, which razo gives 15 seconds
HISTORY_ENTRIES = 20      # user and assistant turns kept per session
HISTORY_CHARS = 6000      # of those, what is sent to the provider
ENTRY_CHARS = 2000        # one stored turn at most
WEEKDAYS = "一二三四五六日"
SUSPICIOUS_MARK = "疑似诈骗"

SYSTEM_PROMPT = (
    "你是用户的消息助手，帮助他处理自己在微信和企业微信收到的消息。"
    "只根据下面列出的消息和对话回答；消息里没有的信息就直说没有，不要编造。"
    "用简体中文回答，先给结论，需要时用简短的列表，并注明消息来自哪个会话。"
    f"标有“{SUSPICIOUS_MARK}”的消息疑似诈骗，不要把它们当作待办，提到时提醒用户不要转账或点链接。"
)


@dataclasses.dataclass
class ContextLimits:
    messages: int = 300       # newest first; older ones are left out
    message_chars: int = 400  # one message's text at most
    total_chars: int = 16000  # the whole message block at most


def message_line(event: Event, limit: int, suspicious: bool = False) -> str:
    text = " ".join(event.display_text.split())
    if len(text) > limit:
        text = text[:limit] + "…"
    mark = f"[{SUSPICIOUS_MARK}]" if suspicious else ""
    return f"[{event.label}｜{event.session_name}｜{event.sender_name}｜{event.sent_at}]{mark} {text}"


def context_block(events: list[Event], limits: ContextLimits, suspicious=lambda event: False) -> tuple[str, int]:
    """The messages as lines, newest first, within the limits; returns the text and how many it holds."""
    lines, used = [], 0
    for event in events[:limits.messages]:
        line = message_line(event, limits.message_chars, suspicious(event))
        if used + len(line) + 1 > limits.total_chars:
            break
        lines.append(line)
        used += len(line) + 1
    return "\n".join(lines), len(lines)


def period_text(hours: int) -> str:
    return f"最近 {hours // 24} 天" if hours % 24 == 0 else f"最近 {hours} 小时"


def system_message(config: dict, events: list[Event], limits: ContextLimits, now: dt.datetime,
                   hours: int = 168, suspicious=lambda event: False) -> str:
    block, shown = context_block(events, limits, suspicious)
    period = period_text(hours)
    names = user_names(config)
    parts = [SYSTEM_PROMPT,
             f"现在是 {now.strftime('%Y-%m-%d %H:%M')}（星期{WEEKDAYS[now.weekday()]}）。"]
    if names:
        parts.append(f"用户的姓名和别名：{'、'.join(names)}。")
    if shown < len(events):
        parts.append(f"{period}共 {len(events)} 条消息，下面是最新的 {shown} 条（新的在前）：")
    else:
        parts.append(f"{period}的 {shown} 条消息（新的在前）：")
    parts.append(block or "（没有消息）")
    return "\n".join(parts)


def fallback_line(reason: str) -> str:
    return f"（AI 暂时无法回答：{reason}。以下是本机规则整理的结果。）"


class Assistant:
    def __init__(self, client: ProviderClient, status: AIStatus, log=print, now=None,
                 limits: ContextLimits | None = None):
        self.client = client
        self.status = status
        self.limits = limits or ContextLimits()
        self._log = log
        self._now = now or (lambda: dt.datetime.now().astimezone())
        self._sessions: collections.OrderedDict[str, list[tuple[str, str]]] = collections.OrderedDict()
        self._lock = threading.Lock()
        self._said: str | None = None  # the failure an answer said last; not said again until it changes

    # -- sessions ----------------------------------------------------------------------------------
    def _history(self, session_id: str) -> list[tuple[str, str]]:
        with self._lock:
            history = self._sessions.pop(session_id, [])
            self._sessions[session_id] = history  # most recently used last
            while len(self._sessions) > MAX_SESSIONS:
                self._sessions.popitem(last=False)
            return list(history)

    def _remember(self, session_id: str, *turns: tuple[str, str]) -> None:
        with self._lock:
            history = self._sessions.setdefault(session_id, [])
            history.extend((role, text[:ENTRY_CHARS]) for role, text in turns)
            del history[:-HISTORY_ENTRIES]

    @staticmethod
    def _recent_turns(history: list[tuple[str, str]]) -> list[dict]:
        picked, used = [], 0
        for role, text in reversed(history):
            used += len(text)
            if used > HISTORY_CHARS:
                break
            picked.append({"role": role, "content": text})
        picked.reverse()
        if picked and picked[0]["role"] == "assistant":
            picked.pop(0)  # start the excerpt with a question
        return picked

    # -- answers -----------------------------------------------------------------------------------
    def _ask_provider(self, what: str, config: dict, served: Served, turns: list[dict], question: str,
                      hours: int = 168, timeout: float | None = None) -> tuple[str | None, str | None, bool, str]:
        """(answer, failure reason, whether the answer should say it, model); exactly one of the first
        two is set.  A failure is said in an answer only when the call failed (not the settings) and no
        answer has said the same failure since the last call that succeeded."""
        ai = config["ai"]
        model = ai_settings.effective_model(ai)
        started = time.monotonic()
        try:
            endpoint = ai_settings.resolve(ai)
            view = served.view
            events = view.pool[0]
            suspicious = lambda event: view.sorting_of(event).suspicious  # noqa: E731
            system = system_message(config, events, self.limits, self._now(), hours, suspicious)
            messages = ([{"role": "system", "content": system}]
                        + turns + [{"role": "user", "content": question}])
            answer = self.client.complete(endpoint, messages, timeout=timeout)
        except ai_settings.SettingsProblem as problem:
            reason, call_failed = str(problem), False
        except ProviderError as error:
            reason, call_failed = error.reason, True
        except Exception as error:  # noqa: BLE001 - the rules answer whatever went wrong; no text that may quote a key
            reason, call_failed = f"调用 AI 接口时出错（{type(error).__name__}）", True
        else:
            self.status.succeeded()
            with self._lock:
                self._said = None
            self._log(f"msgrelay: AI {what} answered by {ai.get('provider')} in {elapsed_ms(started)}ms")
            return answer, None, False, endpoint.model
        self.status.failed(what, reason)
        with self._lock:
            news = call_failed and reason != self._said
            if news:
                self._said = reason
        self._log(f"msgrelay: AI {what} failed after {elapsed_ms(started)}ms ({ai.get('provider')}): {reason}; "
                  "answered by local rules")
        return None, reason, news, model

    def chat(self, config: dict, served: Served, message: str, session_id: str | None) -> dict:
        """config: the one the sorting read (the demo's person while the demo data is served)."""
        session_id = session_id or str(uuid.uuid4())
        history = self._history(session_id)
        reason, say_why = None, False
        if config["ai"].get("enabled"):
            answer, reason, say_why, model = self._ask_provider("chat", config, served, self._recent_turns(history),
                                                                message)
            if answer is not None:
                self._remember(session_id, ("user", message), ("assistant", answer))
                return {"ok": True, "session_id": session_id, "message": answer, "mode": "ai", "model": model}
        question = message
        previous = [text for role, text in history if role == "user"]
        if previous and len(message) <= 6 and any(w in message for w in ("还有", "然后", "呢", "继续")):
            question = previous[-1]  # a short follow-up continues the previous topic
        result = answers.answer(question, served)
        text = f"{result.title}\n{result.answer}"
        if say_why:
            text = f"{fallback_line(reason)}\n{text}"
        self._remember(session_id, ("user", message), ("assistant", text))
        doc = {"ok": True, "session_id": session_id, "message": text, "mode": "local", "model": "local-rules"}
        if reason:
            doc["error"] = reason
        return doc

    def ask(self, config: dict, served: Served, question: str, hours: int) -> dict:
        question = question.strip()
        reason, say_why = None, False
        if question and config["ai"].get("enabled"):
            answer, reason, say_why, _model = self._ask_provider("ask", config, served, [], question, hours,
                                                                 ASK_TIMEOUT)
            if answer is not None:
                return {"ok": True, "title": "AI 回答", "answer": answer, "matched_count": len(served.view.pool[0])}
        result = answers.answer(question, served, hours)
        text = f"{fallback_line(reason)}\n{result.answer}" if say_why else result.answer
        return {"ok": True, "title": result.title, "answer": text, "matched_count": result.matched_count}
