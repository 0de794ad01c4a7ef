#!/usr/bin/env python3
"""Writes the seed inputs of the structured fuzz targets (timeline, chatrules, settings) from
the wire fixtures: messages, digest and configuration encoded in the byte format that
FuzzInput.h and FuzzScenario.h read. Run it again after changing what they read.

Usage: tests/fuzz/make_seeds.py
"""
import json
import struct
from pathlib import Path

HERE = Path(__file__).resolve().parent
FIXTURES = HERE.parent / "fixtures" / "wire"
RAW_UTF8 = 253  # a piece selector past the vocabulary with selector % 6 == 1: raw UTF-8


class Writer:
    def __init__(self):
        self.out = bytearray()

    def byte(self, b):
        self.out.append(b)

    def text(self, s):
        data = s.encode("utf-8")
        pieces, piece = [], b""
        for ch in s:  # at most 32 bytes per piece, split between characters
            enc = ch.encode("utf-8")
            if len(piece) + len(enc) > 32:
                pieces.append(piece)
                piece = b""
            piece += enc
        if piece:
            pieces.append(piece)
        pieces = pieces[:12]
        assert data.startswith(b"".join(pieces))
        self.byte(len(pieces))
        for p in pieces:
            self.byte(RAW_UTF8)
            self.byte(len(p))
            self.out += p

    def maybe_text(self, s):
        if s is None:
            self.byte(0)
        else:
            self.byte(1)
            self.text(s)

    def text_list(self, items):
        items = items[:8]
        self.byte(len(items))
        for s in items:
            self.text(s)

    def maybe_list(self, items):
        if items is None:
            self.byte(0)
        else:
            self.byte(1)
            self.text_list(items)

    def maybe_flag(self, value):
        self.byte(0 if value is None else 1 if value else 2)

    def one_of(self, values, s):
        if s in values:
            self.byte(values.index(s))
        else:
            self.byte(len(values))
            self.text(s)


def event(w, e):
    if "id" in e:
        w.byte(1)
        w.out += struct.pack(">q", e["id"])
    else:
        w.byte(0)
    if e.get("chat_target") is not None:
        w.byte(1)
        w.one_of(["wecom", "wechat", "WeCom", ""], e["chat_target"])
    else:
        w.byte(0)
    for key in ("session_name", "sender_name", "sent_at", "content"):
        w.maybe_text(e.get(key))
    if e.get("transcript") is None:
        w.byte(1)
    else:
        w.byte(0)
        w.byte(0)
        w.text(e["transcript"])


def events(w, items):
    w.byte(len(items))
    for i, e in enumerate(items):
        if i:
            w.byte(1)  # not a repeat
        event(w, e)


def state(w, snapshot, loaded):
    w.byte(1)
    s = snapshot["summary"]
    w.byte(1)
    w.byte(1)
    w.out += struct.pack(">q", s["total_messages"])
    w.byte(1)
    highlights = s["highlights"][:3]
    w.byte(len(highlights))
    for h in highlights:
        if loaded:
            w.byte(0)  # not copied from a loaded message
        for key in ("chat_target", "session_name", "sender_name", "content"):
            w.maybe_text(h.get(key))
    for key in ("action_items", "follow_ups", "meeting_items"):
        w.maybe_list(s[key][:3] if s.get(key) is not None else None)
    w.byte(1)
    profile = snapshot["config"]["user_profile"]
    w.byte(1)
    w.maybe_text(profile.get("display_name"))
    w.maybe_list(profile.get("aliases"))


DUES = ["2026-12-07T18:00:00+08:00", "2026-12-07T10:00:00Z", "2026-12-08T09:00:00+08:00", "明天"]
FLAGS = ("todo", "follow_up", "meeting", "important", "suspicious")


def sortings(w, items, counts):
    """The core's sorting of each message and the digest's counts, as FuzzScenario's readSortings
    reads them after everything else."""
    for e in items:
        s = e.get("sorting")
        if s is None:
            w.byte(0)
            continue
        w.byte(1)
        w.byte(sum(1 << i for i, key in enumerate(FLAGS) if s[key]))
        for key in ("mine", "excluded", "done"):
            w.maybe_flag(s.get(key))
        if s.get("due") is None:
            w.byte(0)
        else:
            w.byte(1)
            w.one_of(DUES, s["due"])
    w.byte(1)
    w.byte(counts["todo"] + 2)
    for key in ("follow_up", "important", "meeting"):
        w.byte(counts[key])
    w.out += struct.pack(">q", counts["needs_you"])


def client(w, c):
    w.byte(1)
    w.maybe_flag(c.get("enabled"))
    w.byte(1)
    w.one_of(["ocr", " ocr\n", "notification-db", "accessibility", "", " "], c.get("source", ""))
    for key in ("app_name", "data_root", "rule_mode"):
        w.maybe_text(c.get(key))
    w.byte(1)
    entries = c.get("allowlist", [])[:6]
    w.byte(len(entries))
    for a in entries:
        w.maybe_text(a.get("name"))
        w.maybe_text(a.get("kind"))
        w.maybe_flag(a.get("enabled"))


def config(w, c, edits_before):
    w.byte(len(edits_before))
    for field, value in edits_before:
        w.byte(1)
        w.byte(field)
        w.text(value)
    w.byte(1)
    w.byte(1)
    w.maybe_text(c.get("watch_source"))
    w.maybe_text(c.get("chat_target"))
    w.maybe_list(c.get("notification_keywords"))
    w.maybe_list(c.get("notification_exclude_keywords"))
    client(w, c["wechat"])
    client(w, c["wecom"])
    ai = c["ai_provider"]
    w.byte(1)
    w.maybe_text(ai.get("provider"))
    w.maybe_flag(ai.get("enabled"))
    w.maybe_text(ai.get("model"))
    w.maybe_text(ai.get("base_url"))
    w.maybe_flag(ai.get("has_api_key"))
    profile = c["user_profile"]
    w.byte(1)
    w.maybe_text(profile.get("display_name"))
    w.maybe_list(profile.get("aliases"))
    w.maybe_flag(c.get("remote_access_protected"))
    w.maybe_flag(c.get("notify_todos_and_mentions"))
    w.byte(2)  # then two edits: the API key and the token, typed with spaces around
    for field, value in ((16, "  sk-test \n"), (0, " token ")):
        w.byte(1)
        w.byte(field)
        w.text(value)


def main():
    snapshot = json.loads((FIXTURES / "state_full.json").read_text(encoding="utf-8"))
    messages = json.loads((FIXTURES / "events_120.json").read_text(encoding="utf-8"))["events"]
    questions = ["最近企业微信有什么消息", "今天先处理什么", "名单有没有我", "微信里哪些消息需要跟进"]
    sorted_messages = json.loads((FIXTURES / "events_sorted.json").read_text(encoding="utf-8"))["events"]
    counts = json.loads((FIXTURES / "state_counts.json").read_text(encoding="utf-8"))["summary"]["counts"]

    for target, tail in (("timeline", lambda w, i: (w.text("会议"), w.one_of(["all", "wechat", "wecom"], "all"))),
                         ("chatrules", lambda w, i: (w.text(questions[i]), w.text_list([]), w.byte(0)))):
        for i in range(4):
            w = Writer()
            events(w, messages[i * 6:(i + 1) * 6])
            if i == 3:
                w.byte(0)  # no state snapshot yet
            else:
                state(w, snapshot, loaded=True)
            tail(w, i)
            (HERE / target / f"fixture_{i}").write_bytes(bytes(w.out))

        # A current core's messages, sorted, and its digest with counts.
        w = Writer()
        events(w, sorted_messages)
        state(w, snapshot, loaded=True)
        tail(w, 1)
        sortings(w, sorted_messages, counts)
        (HERE / target / "fixture_sorted").write_bytes(bytes(w.out))

    w = Writer()
    config(w, snapshot["config"], [(1, "旧名字")])
    (HERE / "settings" / "fixture_state_full").write_bytes(bytes(w.out))


if __name__ == "__main__":
    main()
