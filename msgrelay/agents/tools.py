"""The tools agents call: each checks its arguments against its schema, asks the core and answers
with compact text lines plus the same fields as structured content.

The core is asked only through `events_of_kind`, `search`, `summary` and `complete_task`, the
methods razo's own requests go through, so an agent sees the sorting and storage razo shows."""

from __future__ import annotations

from ..core import MAX_LIMIT as WIRE_LIMIT  # the most the core's queries hand out
from . import lines
from .schemas import MAX_HOURS, MAX_LIMIT, TOOLS

BY_NAME = {tool["name"]: tool for tool in TOOLS}
KIND_LABELS = {"todo": "待办", "follow_up": "稍后处理", "important": "重要消息", "meeting": "会议"}
CARDS = {"todo": "action_items", "follow_up": "follow_ups", "important": "highlights", "meeting": "meeting_items"}


class UnknownTool(Exception):
    pass


class ArgumentError(Exception):
    pass


def call(core, name: str, given: dict) -> tuple[dict, int]:
    """(the tool's result, how many messages it lists); UnknownTool for a name not in TOOLS.
    Arguments the schema refuses give a tool error result that says why."""
    tool = BY_NAME.get(name)
    if tool is None:
        raise UnknownTool(name)
    try:
        args = arguments(tool["inputSchema"], given)
    except ArgumentError as error:
        return _result(f"Invalid arguments for {name}: {error}", None, error=True), 0
    return _RUNS[name](core, args)


def arguments(schema: dict, given: dict) -> dict:
    """The arguments with defaults filled in; ArgumentError names the first one the schema refuses.
    A null counts as left out for an optional argument."""
    rules = schema.get("properties", {})
    for name in given:
        if name not in rules:
            accepted = ", ".join(rules) or "no arguments"
            raise ArgumentError(f"unknown argument `{name}` (accepted: {accepted})")
    out = {}
    for name, rule in rules.items():
        value = given.get(name)
        if value is None:
            if name in schema.get("required", ()):
                raise ArgumentError(f"`{name}` is required")
            if "default" in rule:
                out[name] = rule["default"]
            continue
        out[name] = _checked(name, rule, value)
    return out


def _checked(name: str, rule: dict, value):
    if rule["type"] == "integer":
        if isinstance(value, float) and value.is_integer():
            value = int(value)
        if isinstance(value, bool) or not isinstance(value, int) or \
                not rule.get("minimum", value) <= value <= rule.get("maximum", value):
            low, high = rule.get("minimum"), rule.get("maximum")
            span = f" from {low} to {high}" if high is not None else f" of at least {low}" if low is not None else ""
            raise ArgumentError(f"`{name}` must be an integer{span}")
        return value
    if not isinstance(value, str):
        raise ArgumentError(f"`{name}` must be a string")
    if "enum" in rule and value not in rule["enum"]:
        raise ArgumentError(f"`{name}` must be one of {', '.join(rule['enum'])}")
    if len(value.strip()) < rule.get("minLength", 0):
        raise ArgumentError(f"`{name}` must not be blank")
    if len(value) > rule.get("maxLength", len(value)):
        raise ArgumentError(f"`{name}` must have at most {rule['maxLength']} characters")
    return value


def _result(text: str, structured: dict | None, error: bool = False) -> dict:
    result = {"content": [{"type": "text", "text": text}], "isError": error}
    if structured is not None:
        result["structuredContent"] = structured
    return result


# -- the tools -----------------------------------------------------------------------------------------
def _search(core, args: dict) -> tuple[dict, int]:
    query, hours, limit = args["query"], args["hours"], args["limit"]
    _, doc = core.search({"q": query, "hours": str(hours), "limit": str(limit + 1)})
    entries = [lines.item(w) for w in doc["events"]]
    more, entries = len(entries) > limit, entries[:limit]
    text = _listing(f"最近 {hours} 小时含“{query}”的消息", entries, None if more else len(entries), "新的在前")
    structured = {"query": query, "hours": hours, "count": len(entries), "more": more, "messages": entries}
    return _result(text, structured), len(entries)


def _list(core, args: dict) -> tuple[dict, int]:
    hours, limit, source, kind = args["hours"], args["limit"], args.get("source"), args.get("kind")
    wired = core.events_of_kind(kind, hours, WIRE_LIMIT)
    if source is not None:
        wired = [w for w in wired if w["chat_target"] == source]
    if kind is not None:
        wired.sort(key=lambda w: w["sent_at"], reverse=True)  # the kind's own order is most pressing first
    entries = [lines.item(w) for w in wired[:limit]]
    scope = "、".join(p for p in (source and lines.source_label(source), KIND_LABELS.get(kind)) if p)
    head = f"最近 {hours} 小时的消息" + (f"（{scope}）" if scope else "")
    structured = {"hours": hours, "count": len(entries), "more": len(wired) > len(entries), "messages": entries}
    structured.update({k: v for k, v in (("source", source), ("kind", kind)) if v is not None})
    return _result(_listing(head, entries, len(wired), "新的在前", kind), structured), len(entries)


def _todos(core, args: dict) -> tuple[dict, int]:
    wired = core.events_of_kind("todo", MAX_HOURS, WIRE_LIMIT)
    entries = [lines.item(w) for w in wired[:MAX_LIMIT]]
    text = _listing("未完成的待办", entries, len(wired), "最紧急的在前", "todo")
    return _result(text, {"count": len(wired), "todos": entries}), len(entries)


def _listing(head: str, entries: list[dict], total: int | None, order: str, implied: str | None = None) -> str:
    """The head line with how many there are (None: more than those listed), then one line each."""
    if not entries:
        return f"{head}：没有。"
    shown = len(entries)
    count = f"超过 {shown} 条，列出 {shown} 条" if total is None else \
        f"共 {total} 条" + (f"，列出 {shown} 条" if total > shown else "")
    return f"{head}{count}，{order}：\n{lines.block(entries, implied)}"


def _digest(core, args: dict) -> tuple[dict, int]:
    summary = core.summary(core.config.snapshot())
    kinds = {kind: core.events_of_kind(kind, MAX_HOURS, WIRE_LIMIT) for kind in CARDS}
    counts = {kind: len(wired) for kind, wired in kinds.items()}
    cards = {kind: [lines.item(w) for w in kinds[kind][:len(summary[CARDS[kind]])]] for kind in CARDS}
    top = {name: [{"name": n, "count": c} for n, c in summary[key]]
           for name, key in (("top_chats", "top_sessions"), ("top_senders", "top_senders"))}
    parts = [f"最近 7 天共 {summary['total_messages']} 条消息：" +
             "，".join(f"{KIND_LABELS[k]} {counts[k]} 条" for k in CARDS) + "。"]
    for name, label in (("top_chats", "消息最多的会话"), ("top_senders", "消息最多的发送人")):
        if top[name]:
            parts.append(f"{label}：" + "、".join(f"{t['name']} {t['count']}" for t in top[name]))
    for kind in ("todo", "follow_up", "important", "meeting"):
        parts.append(f"\n{KIND_LABELS[kind]}：\n" + (lines.block(cards[kind], implied=kind) or "（无）"))
    structured = {"hours": MAX_HOURS, "total_messages": summary["total_messages"], "counts": counts, **top,
                  "todos": cards["todo"], "follow_ups": cards["follow_up"], "important": cards["important"],
                  "meetings": cards["meeting"]}
    return _result("\n".join(parts), structured), sum(len(c) for c in cards.values())


def _complete(core, args: dict) -> tuple[dict, int]:
    wanted = args["id"]
    open_items = core.events_of_kind("todo", MAX_HOURS, WIRE_LIMIT) + \
        core.events_of_kind("follow_up", MAX_HOURS, WIRE_LIMIT)
    wire = next((w for w in open_items if w["id"] == wanted), None)
    listed = core.summary(core.config.snapshot(), schedule=False)
    line = _listed_line(wire, listed["action_items"] + listed["follow_ups"]) if wire else None
    if wire is None:
        message = f"#{wanted} 不是未完成的待办或稍后处理事项（可能已经完成）；get_todos 列出当前的待办。"
    elif line is None:
        message = (f"#{wanted} 不在 razo 首页的待办清单里（清单只列最紧急的 12 条待办和 8 条稍后处理），"
                   "不能标记完成。")
    else:
        _, doc = core.complete_task({"item_text": line})
        ok = doc.get("ok") is True
        message = doc.get("message") or doc.get("error") or ("已标记完成。" if ok else "没有完成。")
        return _result(message, {"ok": ok, "id": wanted, "message": message}, error=not ok), 1
    return _result(message, {"ok": False, "id": wanted, "message": message}, error=True), 0


def _listed_line(wire: dict, listed: list[str]) -> str | None:
    """The to-do line of the state for a wire item: `label｜chat｜sender (ISO time)：text`, the time to
    the second where the item has it to the minute."""
    text = (wire.get("transcript") or wire.get("content") or "（暂无正文）").replace("\n", " ").strip()
    start = f"{lines.source_label(wire['chat_target'])}｜{wire['session_name']}｜{wire['sender_name']} " \
            f"({wire['sent_at'].replace(' ', 'T')}"
    return next((entry for entry in listed if entry.startswith(start) and entry.endswith(f")：{text}")), None)


_RUNS = {"search_messages": _search, "list_messages": _list, "get_todos": _todos, "get_digest": _digest,
         "complete_task": _complete}
