"""The digest's lists picked by the AI provider from the stored messages.

The provider sees the messages numbered by their id and answers with ids in JSON; every id must
be one it was shown, so every to-do line is written by the same rule as the rule-based digest's
and every highlight is a stored message.  One pick at a time, in the background, at most once
per interval and only when messages arrived that the last pick did not see.  Until a pick has
succeeded, and after one fails, the rule-based lists are served.
"""

from __future__ import annotations

import json
import re
import threading
import time

from . import settings as ai_settings
from .assistant import message_line
from ..demo_data import Event
from ..triage.digest import LIMITS, deduplicated, event_key, highlight, item_line, user_names
from .provider import AIStatus, ProviderClient, ProviderError, elapsed_ms

PICK_INTERVAL = 600.0  # seconds between picks
LISTS = ("action_items", "follow_ups", "meeting_items", "highlights")
CANDIDATES = 200
CANDIDATE_CHARS = 16000
_ID = re.compile(r"^#?(\d+)$")

PROMPT = (
    "请从用户最近 7 天收到的微信和企业微信消息里挑出重点。每条消息前面是它的编号（#数字）。"
    "只回答一个 JSON 对象，不要其他文字，格式："
    '{"action_items": [编号], "follow_ups": [编号], "meeting_items": [编号], "highlights": [编号]}。'
    "action_items：需要用户去做、回复或确认的事，最多 12 条；follow_ups：需要稍后跟进或提醒的事，最多 8 条；"
    "meeting_items：会议安排、参会名单和会议纪要，最多 8 条；highlights：最值得用户注意的消息，最多 8 条。"
    "用户自己发的消息不算待办。只能使用下面出现的编号，每个列表按重要程度排序，没有就给空列表。"
)


class PickRejected(Exception):
    def __init__(self, reason: str):
        super().__init__(reason)
        self.reason = reason


def _ids(value, known: set[int], name: str) -> list[int]:
    if not isinstance(value, list):
        raise PickRejected(f"AI 摘要的 {name} 不是列表")
    picked = []
    for entry in value:
        if isinstance(entry, bool):
            entry = None
        elif isinstance(entry, str) and _ID.match(entry.strip()):
            entry = int(_ID.match(entry.strip()).group(1))
        if not isinstance(entry, int) or entry not in known:
            raise PickRejected(f"AI 摘要的 {name} 含有不存在的消息")
        if entry not in picked:
            picked.append(entry)
    return picked[:LIMITS[name]]


def parse_pick(text: str, known: set[int]) -> dict[str, list[int]]:
    """The provider's answer as lists of message ids; PickRejected when it is not exactly that."""
    start, end = text.find("{"), text.rfind("}")
    try:
        doc = json.loads(text[start:end + 1]) if 0 <= start < end else None
    except ValueError:
        doc = None
    if not isinstance(doc, dict) or not any(name in doc for name in LISTS):
        raise PickRejected("AI 摘要的回复不是约定的 JSON")
    return {name: _ids(doc.get(name, []), known, name) for name in LISTS}


def picked_events(pick: dict[str, list[int]], events: list[Event], completed_keys=frozenset(),
                  completed_texts=frozenset()) -> dict[str, list[Event]]:
    """The picked messages of each list as they stand now: messages that are gone are left out, and
    so are to-dos completed since the pick; a to-do line is listed once."""
    by_id = {e.id: e for e in events}
    picked = {}
    for name in LISTS:
        found = [by_id[i] for i in pick[name] if i in by_id]
        if name != "highlights":
            lines, kept = set(), []
            for event in found:
                line = item_line(event)
                if name != "meeting_items" and (event_key(event) in completed_keys or line in completed_texts):
                    continue
                if line not in lines:
                    lines.add(line)
                    kept.append(event)
            found = kept
        picked[name] = found
    return picked


def apply_pick(summary: dict, pick: dict[str, list[int]], events: list[Event],
               completed_keys=frozenset(), completed_texts=frozenset()) -> dict:
    """The summary with the picked lists (picked_events)."""
    picked = picked_events(pick, events, completed_keys, completed_texts)
    new = dict(summary)
    for name in ("action_items", "follow_ups", "meeting_items"):
        new[name] = [item_line(e) for e in picked[name]]
    new["highlights"] = [highlight(e) for e in picked["highlights"]]
    return new


class DigestPicker:
    def __init__(self, client: ProviderClient, status: AIStatus, log=print, clock=time.monotonic,
                 interval: float = PICK_INTERVAL, background: bool = True):
        self.client = client
        self.status = status
        self.interval = interval
        self._log = log
        self._clock = clock
        self._background = background
        self._lock = threading.Lock()
        self._idle = threading.Event()
        self._idle.set()
        self._pick: dict[str, list[int]] | None = None
        self._seen: frozenset[int] = frozenset()  # the messages the current pick was made from
        self._last_attempt: float | None = None
        self._unchanged: list[Event] | None = None  # the list last found to hold nothing new

    def pick(self, events: list[Event], config: dict, schedule: bool = True) -> dict[str, list[int]] | None:
        """The pick to serve (None: the rule-based lists); starts a pick in the background when one
        is due.  `events`: what the provider may pick from."""
        if not config["ai"].get("enabled"):
            return None
        if schedule:
            self._maybe_start(events, config)
        with self._lock:
            return self._pick

    def wait_idle(self, timeout: float = 10.0) -> bool:
        """Waits for a running pick to end (tests)."""
        return self._idle.wait(timeout)

    def _maybe_start(self, events: list[Event], config: dict) -> None:
        # The cheap checks first: collecting the ids of a busy week costs milliseconds on every state.
        with self._lock:
            if not self._idle.is_set() or not events or events is self._unchanged:
                return
            if self._last_attempt is not None and self._clock() - self._last_attempt < self.interval:
                return
        ids = frozenset(e.id for e in events)
        with self._lock:
            if not self._idle.is_set():
                return
            if self._pick is not None and ids <= self._seen:
                self._unchanged = events  # the same list object comes back while nothing changes
                return  # nothing new since the last pick
            self._last_attempt = self._clock()
            self._idle.clear()
        if self._background:
            threading.Thread(target=self._run, args=(list(events), config, ids), daemon=True,
                             name="msgrelay-ai-digest").start()
        else:
            self._run(list(events), config, ids)

    def _run(self, events: list[Event], config: dict, ids: frozenset[int]) -> None:
        provider = config["ai"].get("provider")
        started = time.monotonic()
        try:
            pick = self._request(events, config)
        except (ai_settings.SettingsProblem, ProviderError, PickRejected) as error:
            reason = getattr(error, "reason", None) or str(error)
            self.status.failed("digest", reason)
            self._log(f"msgrelay: AI digest failed after {elapsed_ms(started)}ms ({provider}): {reason}; "
                      "serving the rule-based digest")
            with self._lock:
                self._pick = None
        except Exception as error:  # never let a background pick take the core down
            self._log(f"msgrelay: AI digest failed: {type(error).__name__}; serving the rule-based digest")
            with self._lock:
                self._pick = None
        else:
            self.status.succeeded()
            self._log(f"msgrelay: AI digest picked by {provider} in {elapsed_ms(started)}ms")
            with self._lock:
                self._pick, self._seen = pick, ids
        finally:
            self._idle.set()

    def _request(self, events: list[Event], config: dict) -> dict[str, list[int]]:
        endpoint = ai_settings.resolve(config["ai"])
        lines, used, known = [], 0, set()
        for event in deduplicated(events)[:CANDIDATES]:
            line = f"#{event.id} {message_line(event, 300)}"
            if used + len(line) > CANDIDATE_CHARS:
                break
            lines.append(line)
            used += len(line) + 1
            known.add(event.id)
        names = user_names(config)
        system = PROMPT + (f"用户的姓名和别名：{'、'.join(names)}。" if names else "")
        messages = [{"role": "system", "content": system}, {"role": "user", "content": "\n".join(lines)}]
        return parse_pick(self.client.complete(endpoint, messages, max_tokens=800), known)
