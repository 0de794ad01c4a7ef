"""Messages as agents read them: one compact line each, and the same fields as structured content.

A line is `#id | time | source | chat | sender | text`, with the tags of what the message is in
front of the text ([疑似诈骗] for a suspected scam) and its due time at the end when one was read.
The texts stay in the messages' own language."""

from __future__ import annotations

from ..demo_data import TARGET_LABELS

KINDS = ("todo", "follow_up", "important", "meeting")
TAGS = {"todo": "待办", "follow_up": "稍后", "important": "重要", "meeting": "会议"}
SCAM_TAG = "疑似诈骗"


def item(wire: dict) -> dict:
    """The structured form of one wire item of the core (with its `sorting`)."""
    sorting = wire.get("sorting") or {}
    out = {
        "id": wire["id"],
        "time": wire["sent_at"],
        "source": wire["chat_target"],
        "source_label": source_label(wire["chat_target"]),
        "chat": wire["session_name"],
        "sender": wire["sender_name"],
        "text": wire.get("transcript") or wire.get("content") or "（暂无正文）",
        "suspicious": sorting.get("suspicious") is True,
        "kinds": [kind for kind in KINDS if sorting.get(kind) is True],
    }
    if isinstance(sorting.get("due"), str):
        out["due"] = sorting["due"]
    return out


def line(entry: dict, implied: str | None = None) -> str:
    """One line of a structured item; `implied` is a kind every line of the list has (not tagged)."""
    tags = ([SCAM_TAG] if entry["suspicious"] else []) + [TAGS[k] for k in entry["kinds"] if k != implied]
    text = "".join(f"[{tag}]" for tag in tags) + (" " if tags else "") + " ".join(entry["text"].split())
    parts = [f"#{entry['id']}", entry["time"], entry["source_label"], _flat(entry["chat"]), _flat(entry["sender"]),
             text]
    if "due" in entry:
        due = entry["due"][:16].replace("T", " ")
        parts.append("立即" if due <= entry["time"] else "截止 " + due)  # due as it was sent: asked for now
    return " | ".join(parts)


def block(entries: list[dict], implied: str | None = None) -> str:
    return "\n".join(line(entry, implied) for entry in entries)


def source_label(source: str) -> str:
    return TARGET_LABELS.get(source, "消息")


def _flat(text: str) -> str:
    return " ".join(text.split())
