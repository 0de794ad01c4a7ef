"""What each endpoint does, independent of HTTP: every method returns (status, JSON document)."""

from __future__ import annotations

import datetime as dt
import shutil
import subprocess
import threading
import time

from . import diagnostics, network
from .ai import checks as ai_checks
from .ai import settings as ai_settings
from .ai.digest import DigestPicker
from .ai.assistant import Assistant
from .capture import Capture
from .capture import diagnostics as capture_checks
from .capture import login_start
from .capture import service as capture
from .config_store import ConfigStore, PayloadError, SettingsRefused
from .demo_data import Event, EventStore
from .triage.digest import Digest, event_key, item_line
from .triage.search import query_key
from .triage.week import Week
from .message_db import MessageDB
from .notify import Notifier
from .store.held import EventList
from .ai.provider import AIStatus, ProviderClient

WEEK_HOURS = 168  # razo's period; it starts on a 10-minute mark (see Core._held)
MAX_HOURS = 24 * 366
MAX_LIMIT = 1000
SEARCH_LIMIT = 200
KIND_LISTS = {"todo": "action_items", "follow_up": "follow_ups", "important": "highlights", "meeting": "meeting_items"}


class RequestError(Exception):
    """A request the core refuses with an HTTP status (400 and friends) and a text."""

    def __init__(self, status: int, text: str):
        super().__init__(text)
        self.status = status
        self.text = text


def _prune(value):
    """Drops null members so that the documents only carry what the core knows."""
    if isinstance(value, dict):
        return {k: _prune(v) for k, v in value.items() if v is not None}
    if isinstance(value, list):
        return [_prune(v) for v in value]
    return value


def _int_param(params: dict, name: str, default: int, low: int, high: int) -> int:
    raw = params.get(name)
    if raw is None or raw == "":
        return default
    try:
        value = int(raw.strip())
    except ValueError:
        raise RequestError(400, f"{name} 必须是整数") from None
    if value < low:
        raise RequestError(400, f"{name} 不能小于 {low}")
    return min(value, high)


def _text_field(body: dict, name: str, required: bool = False) -> str | None:
    value = body.get(name)
    if value is None:
        if required:
            raise RequestError(400, f"缺少 {name}")
        return None
    if not isinstance(value, str):
        raise RequestError(400, f"{name} 必须是文本")
    return value


def _now() -> dt.datetime:
    return dt.datetime.now().astimezone()


class Core:
    def __init__(self, config_path: str, host: str, port: int, log=print, events: EventStore | None = None,
                 addresses: network.AddressBook | None = None, opener: str | None = None,
                 ai_timeout: float | None = None, clock=time.monotonic, ai_background: bool = True,
                 local_time=_now, bus_address: str | None = None, capture_options: dict | None = None,
                 notify_options: dict | None = None, reads_from_login=login_start.enabled):
        """ai_timeout: seconds for one AI provider call (None: MSGRELAY_AI_TIMEOUT or 25);
        clock: monotonic seconds that space the AI digest picks; local_time: the aware local time;
        bus_address: the session bus to read notifications from and post razo's own to (None: no
        bus); reads_from_login: asked on each state whether this user's core starts at login.
        `start` begins the capture, `close` ends it and closes the message database."""
        self._local_time = local_time
        self._reads_from_login = reads_from_login
        self.config = ConfigStore(config_path, log=log)
        self.events = events or EventStore(local_time())  # the demo data, served until a real message arrives
        self.messages = MessageDB(self.config.folder, log=log, local_time=local_time)
        self.week = Week()
        self.capture = Capture(self.messages, self.config.snapshot, bus_address, local_time, log=log,
                               **(capture_options or {}))
        self.notifier = Notifier(self.config.snapshot, bus_address, local_time, log=log, **(notify_options or {}))
        self.capture.add_observer(self.notifier.consider)
        self.addresses = addresses or network.AddressBook()
        self.host = host
        self.port = port
        self._log = log
        self._opener = opener if opener is not None else (shutil.which("xdg-open") or "")
        self.ai_status = AIStatus()
        client = ProviderClient(ai_timeout)
        self.assistant = Assistant(client, self.ai_status, log=log, week=self.week)
        self.digest_picker = DigestPicker(client, self.ai_status, log=log, clock=clock, background=ai_background)

    def start(self):
        self.capture.start()
        threading.Thread(target=self._warm_up, name="msgrelay-warm-up", daemon=True).start()

    def _warm_up(self):
        """Reads the stored messages and works out the digest and the search before razo asks."""
        try:
            config = self.config.snapshot()
            events = self.visible_events(config)
            self.week.summary(events, config, *self._completed(config))
            self.week.finder(events)
        except Exception as error:  # only a head start: the requests work it out themselves
            self._log(f"msgrelay: warming up failed: {type(error).__name__}: {error}")

    def housekeep(self):
        """Called every fraction of a second by the serving loop (see Capture.housekeep)."""
        self.capture.housekeep()

    def close(self):
        self.capture.close()
        self.notifier.close()

    # -- shared ------------------------------------------------------------------------------------
    def token(self) -> str:
        return self.config.remote_token()

    def _held(self, hours: int) -> tuple[object, EventList]:
        """(source, the messages of the period newest first): the captured ones, or the demo data
        until the first one came.

        The period starts on a mark of a thousandth of its length (10 minutes for the week): a
        message passing the end of the week leaves with the others at the next mark, so that the
        digest is worked out again at most that often while nothing new arrives."""
        step = hours * 3.6
        start = (self._local_time() - dt.timedelta(hours=hours)).timestamp()
        cutoff = dt.datetime.fromtimestamp(start - start % step).astimezone()
        if self.messages.has_real_data():  # ids are unique within one generation: both from one reading
            generation, events = self.messages.refresh().period(cutoff.timestamp())
            return ("db", generation), events
        return "demo", EventList(self.events.since(cutoff))

    def visible_events(self, config: dict, hours: int = WEEK_HOURS) -> list[Event]:
        """Messages of the period that the configuration lets through, newest first.  The same list
        comes back while nothing changes, with what was worked out from it kept on it."""
        source, held = self._held(hours)
        return self.week.visible(source, held, config)

    @staticmethod
    def _completed(config: dict) -> tuple[frozenset, frozenset]:
        done = config.get("completed_tasks", [])
        return frozenset(t.get("key", "") for t in done), frozenset(t["item_text"] for t in done)

    def _digest(self, config: dict, events: list[Event]) -> Digest:
        return self.week.digest(events, config, *self._completed(config))

    def summary(self, config: dict, schedule: bool = True) -> dict:
        """The digest served: the rule-based one, with the AI provider's picks when AI is on and a
        valid pick exists (a pick that is due is started in the background)."""
        events = self.visible_events(config)
        keys, texts = self._completed(config)
        return self.digest_picker.overlay(self.week.summary(events, config, keys, texts), events, config, keys,
                                          texts, schedule=schedule)

    # -- the sorting on the wire ----------------------------------------------------------------------
    def events_of_kind(self, kind: str | None, hours: int, limit: int) -> list[dict]:
        """Wire items with `sorting` of the period's messages: all of them newest first (kind None), or
        the digest's list of one kind (to-dos, follow-ups, important ones most pressing first, meetings
        newest first), beginning with what the summary lists for its card, never suspicious or done."""
        if kind is not None and kind not in KIND_LISTS:
            raise RequestError(400, "kind 必须是 todo、follow_up、important 或 meeting")
        config = self.config.snapshot()
        events = self.visible_events(config, hours)
        chosen = events
        if kind is not None:
            digest = self._digest(config, events)
            chosen = {"todo": digest.todos, "follow_up": digest.follow_ups, "important": digest.important,
                      "meeting": digest.meetings}[kind]
            if hours == WEEK_HOURS:
                carded = self._carded(config, kind, events)
                ids = {e.id for e in carded}
                chosen = carded + [e for e in chosen if e.id not in ids]
        wired = self._with_sorting(config, events, chosen)
        return [item for item in wired if kind is None or not item["sorting"]["done"]][:limit]

    def _carded(self, config: dict, kind: str, events: list[Event]) -> list[Event]:
        """The messages of the summary's card of `kind`, in its order (also when AI picked them)."""
        listed = self.summary(config, schedule=False)[KIND_LISTS[kind]]
        if kind == "important":
            by_fields = {(e.session_name, e.sender_name, e.sent_at, e.display_text): e for e in reversed(events)}
            found = [by_fields.get((h["session_name"], h["sender_name"], h["sent_at"], h["content"])) for h in listed]
        else:
            by_line = {item_line(e): e for e in reversed(events)}
            found = [by_line.get(line) for line in listed]
        return [e for e in found if e is not None]

    def _with_sorting(self, config: dict, events: list[Event], chosen: list[Event]) -> list[dict]:
        """The wire items of `chosen` (some of `events`, the period's messages) with their sorting."""
        sortings = dict(zip((e.id for e in events), self.week.sortings(events, config)))
        keys, texts = self._completed(config)
        zone = self._local_time().tzinfo
        items = []
        for event in chosen:
            s = sortings[event.id]
            sorting = {"todo": s.todo, "follow_up": s.follow_up, "meeting": s.meeting, "important": s.important,
                       "suspicious": s.suspicious, "mine": s.mine, "excluded": False,
                       "done": event_key(event) in keys or item_line(event) in texts}
            if s.due is not None:
                sorting["due"] = dt.datetime.fromtimestamp(s.due, zone).isoformat(timespec="seconds")
            items.append(dict(_prune(event.to_wire()), sorting=sorting))
        return items

    # -- GET -----------------------------------------------------------------------------------------
    def auth_status(self) -> tuple[int, dict]:
        return 200, {"ok": True, "ready": True, "token_required": bool(self.token())}

    def state(self) -> tuple[int, dict]:
        config = self.config.snapshot()
        ai = config["ai"]
        key_present = bool(ai_settings.api_key(ai))
        ai_error = self.ai_status.last_error()
        report = self.capture.report()
        setup = diagnostics.setup_items(config, report, self._reads_from_login())

        def client(part: dict) -> dict:
            return {"enabled": part["enabled"], "source": part["source"], "app_name": part["app_name"],
                    "data_root": part["data_root"], "rule_mode": part["rule_mode"],
                    "allowlist": [{"name": e["name"], "kind": e.get("kind") if isinstance(e.get("kind"), str) else "unknown",
                                   "enabled": e.get("enabled") if isinstance(e.get("enabled"), bool) else True}
                                  for e in part["allowlist"]]}

        doc = {
            "config": {
                "watch_source": config["watch_source"],
                "chat_target": config["chat_target"],
                "notification_keywords": config["notification_keywords"],
                "notification_exclude_keywords": config["notification_exclude_keywords"],
                "wechat": client(config["wechat"]),
                "wecom": client(config["wecom"]),
                "ai_provider": {"provider": ai["provider"], "enabled": ai["enabled"], "model": ai["model"],
                                "base_url": ai["base_url"], "has_api_key": key_present},
                "user_profile": {"display_name": config["user_profile"]["display_name"],
                                 "aliases": config["user_profile"]["aliases"]},
                "remote_access_protected": bool(config["remote_access_token"]),
                "notify_todos_and_mentions": config["notify_todos_and_mentions"],
            },
            "summary": self.summary(config),
            "built_in_chat": {
                "provider": ai["provider"], "model": ai_settings.effective_model(ai), "enabled": ai["enabled"],
                "fallback_mode": "local_rules", "has_api_key": key_present,
                "notes": ai_checks.notes(config, ai_error),
            },
            "agent_access": network.agent_access(self.host, self.port, self.addresses.addresses(),
                                                 bool(config["remote_access_token"])),
            "setup": {"items": ai_checks.with_setup_item(setup, config, ai_error)},
            "diagnostics": {"wecom": capture_checks.wecom_diagnostics(config, report)},
        }
        return 200, _prune(doc)

    def list_events(self, params: dict) -> tuple[int, dict]:
        hours = _int_param(params, "hours", WEEK_HOURS, 1, MAX_HOURS)
        limit = _int_param(params, "limit", 120, 0, MAX_LIMIT)
        events = self.visible_events(self.config.snapshot(), hours)
        return 200, {"events": [_prune(e.to_wire()) for e in events[:limit]]}

    def search(self, params: dict) -> tuple[int, dict]:
        """The messages of the period whose chat, sender or text contain the query by razo's own
        search rule, newest first, in the shape of list_events."""
        hours = _int_param(params, "hours", WEEK_HOURS, 1, MAX_HOURS)
        limit = _int_param(params, "limit", SEARCH_LIMIT, 0, MAX_LIMIT)
        config = self.config.snapshot()
        events = self.visible_events(config, hours)
        found = self.week.finder(events).find(query_key(params.get("q", "")), limit)
        return 200, {"events": self._with_sorting(config, events, found)}

    def ask(self, params: dict) -> tuple[int, dict]:
        hours = _int_param(params, "hours", WEEK_HOURS, 1, MAX_HOURS)
        config = self.config.snapshot()
        return 200, self.assistant.ask(config, self.visible_events(config, hours), params.get("q", ""), hours)

    def agent_context(self) -> tuple[int, dict]:
        config = self.config.snapshot()
        events = self.visible_events(config)
        return 200, {
            "ok": True,
            "generated_at": self._local_time().isoformat(timespec="seconds"),
            "period_hours": WEEK_HOURS,
            "user_profile": config["user_profile"],
            "summary": self.summary(config),
            "events": [_prune(e.to_wire()) for e in events[:50]],
        }

    # -- POST ----------------------------------------------------------------------------------------
    def chat(self, body: dict) -> tuple[int, dict]:
        message = _text_field(body, "message", required=True).strip()
        if not message:
            raise RequestError(400, "message 不能为空")
        session_id = (_text_field(body, "session_id") or "").strip()[:200] or None
        config = self.config.snapshot()
        return 200, self.assistant.chat(config, self.visible_events(config), message, session_id)

    def save_config(self, body: dict) -> tuple[int, dict]:
        try:
            self.config.save_payload(body)
        except PayloadError as error:
            raise RequestError(400, str(error)) from None
        except SettingsRefused as refusal:  # the user's input: razo shows `message` as it stands
            return 200, {"ok": False, "message": str(refusal), "error": str(refusal)}
        except OSError as error:
            return 200, {"ok": False, "error": f"配置文件写入失败：{error.strerror or error}"}
        if body.get("ai") is not None:
            self.ai_status.reset()
        self.capture.reconcile()
        return 200, {"ok": True, "message": "设置已保存，核心已按新配置重新整理消息。"}

    def complete_task(self, body: dict) -> tuple[int, dict]:
        item = _text_field(body, "item_text", required=True)
        if not item.strip():
            raise RequestError(400, "item_text 不能为空")
        config = self.config.snapshot()
        if any(t["item_text"] == item for t in config["completed_tasks"]):
            return 200, {"ok": True, "message": "这条待办已经完成。"}
        event = self._open_item(config, item)
        if event is None:
            return 200, {"ok": False, "message": "没有找到这条待办，可能已经处理或消息已更新，请刷新后再试。"}
        try:
            self.config.complete(item, event_key(event))
        except OSError as error:
            return 200, {"ok": False, "error": f"无法记录完成状态：{error.strerror or error}"}
        return 200, {"ok": True, "message": "已标记完成。"}

    def _open_item(self, config: dict, item: str) -> Event | None:
        """The message behind a to-do line the state lists, rule-based or picked by the AI provider."""
        events = self.visible_events(config)
        event = self._digest(config, events).open_items().get(item)
        if event is None:
            served = self.summary(config, schedule=False)
            if item in served["action_items"] + served["follow_ups"]:
                event = next((e for e in events if item_line(e) == item), None)
        return event

    def scan_wecom(self, body: dict) -> tuple[int, dict]:
        """WeCom is read from its notifications as they arrive: there is nothing to fetch on demand,
        so the reply reports what has been read and whether reading works right now."""
        force = body.get("force_backfill", False)
        if force is not None and not isinstance(force, bool):
            raise RequestError(400, "force_backfill 必须是布尔值")
        config = self.config.snapshot()
        counts = {"detected": 0, "inserted": 0, "candidate_events": 0}
        if not config["wecom"]["enabled"]:
            return 200, {"ok": False, "message": "企业微信读取已关闭，请先在设置里打开企业微信并保存。", **counts}
        report = self.capture.report()
        stats = report.clients["wecom"].stats
        shown = [e for e in self.visible_events(config) if e.chat_target == "wecom"] if not report.demo else []
        counts.update(detected=len(shown), candidate_events=stats.count)
        _, description, action = capture_checks.client_verdict(config["wecom"], "企业微信",
                                                            report.clients["wecom"], report.status)
        if not capture.reads(config, "wecom") or report.status.state != capture.MONITORING:
            return 200, {"ok": False, "message": f"{description}{action}", **counts}
        if not stats.count:
            return 200, {"ok": True, "message": f"{description}{action}", **counts}
        text = (f"企业微信消息随通知实时读取，无需补抓：最近 7 天已读取 {stats.count} 条，"
                f"最新一条在 {stats.latest.sent_at}。")
        if len(shown) < stats.count:
            text += f"其中 {stats.count - len(shown)} 条不在白名单或被排除词过滤。"
        return 200, {"ok": True, "message": text, **counts}

    def push_remote(self, body: dict) -> tuple[int, dict]:
        return 200, {"ok": False, "message": "本机演示核心没有连接网站桥接，未推送。"}

    def open_config_dir(self, body: dict) -> tuple[int, dict]:
        folder = self.config.folder
        try:
            folder.mkdir(parents=True, exist_ok=True)
        except OSError as error:
            return 200, {"ok": False, "message": f"无法创建配置目录 {folder}：{error.strerror or error}"}
        if not self._opener:
            return 200, {"ok": False, "message": f"这台电脑没有可用的文件管理器打开方式，配置目录在：{folder}"}
        try:
            child = subprocess.Popen([self._opener, str(folder)], stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        except OSError as error:
            return 200, {"ok": False, "message": f"无法打开配置目录（{error.strerror or error}），它在：{folder}"}
        threading.Thread(target=child.wait, daemon=True).start()  # reap it whenever it ends
        return 200, {"ok": True, "message": f"已请求打开配置目录：{folder}"}
