#!/usr/bin/env python3
"""The sorting rules on labelled messages, in process: per-message scores, the capped lists as the
digest serves them, and the time per message.

    /usr/bin/python3 bench/triage/rules_bench.py SET.jsonl [SET.jsonl ...] [--errors] [--repeat N]

A set has one message a line in the form of the triage set (`id`, `chat_target`, `session_name`,
`session_kind`, `sender_name`, `content`, `labels` with todo_for_me, meeting, important, follow_up).
The user is 李明 (aliases 小李, 明哥) with the default keywords, as the triage evaluator sets them.
"served" is the share of each capped list (待处理 12, 稍后 8, 会议 8, 重要 8) that carries the list's
label, with the messages spread over 46 hours in the evaluator's fixed mixed order, as the digest
of one core holding the whole set would show them (messages an exclusion word hides left out).
`--errors` lists every message a rule gets wrong and the wrong rows of the served lists; `--repeat`
sorts each set N times for the timing.
"""

import argparse
import dataclasses
import datetime as dt
import json
import pathlib
import random
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2]))

from msgrelay.config_store import default_config  # noqa: E402
from msgrelay.demo_data import Event  # noqa: E402
from msgrelay.triage import visibility  # noqa: E402
from msgrelay.triage.digest import LIMITS, Digest  # noqa: E402
from msgrelay.triage.sorting import Profile, sort_message  # noqa: E402

LABELS = {"todo_for_me": "todo", "meeting": "meeting", "important": "important", "follow_up": "follow_up"}
KINDS = {"[图片]": "image", "[语音]": "voice", "[链接]": "link"}
SERVED = {"todo_for_me": ("todos", "action_items", "待处理"), "follow_up": ("follow_ups", "follow_ups", "稍后"),
          "meeting": ("meetings", "meeting_items", "会议"), "important": ("important", "highlights", "重要")}


def load(path: pathlib.Path, at: dt.datetime) -> list[tuple[dict, Event]]:
    rows = []
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.strip():
            m = json.loads(line)
            kind = next((k for p, k in KINDS.items() if m["content"].startswith(p)), "text")
            rows.append((m, Event(m["id"], m["chat_target"], m["session_name"], m["session_kind"], m["sender_name"],
                                  at, m["content"], kind)))
    return rows


def served(rows: list[tuple[dict, Event]], config: dict, now: dt.datetime):
    """{label: (list name, [message of each served row])}: the capped lists of one digest of the set,
    the messages sent over 46 hours in the triage evaluator's fixed mixed order."""
    order = [m["id"] for m, _ in rows]
    random.Random(20240612).shuffle(order)
    step = (46 * 60 - 10) / len(order)
    stamps = {mid: now - dt.timedelta(minutes=10 + step * pos) for pos, mid in enumerate(order)}
    by_id = {e.id: m for m, e in rows}
    events = [dataclasses.replace(e, at=stamps[e.id]) for _, e in rows]
    events = sorted((e for e in events if visibility.shown(e, config)), key=lambda e: e.at, reverse=True)
    digest = Digest(events, config)
    return {label: (title, [by_id[e.id] for e in getattr(digest, attribute)[:LIMITS[cap]]])
            for label, (attribute, cap, title) in SERVED.items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("sets", nargs="+", type=pathlib.Path)
    parser.add_argument("--errors", action="store_true")
    parser.add_argument("--repeat", type=int, default=20)
    args = parser.parse_args()
    config = default_config()
    config["user_profile"] = {"display_name": "李明", "aliases": ["小李", "明哥"]}
    for client in ("wechat", "wecom"):
        config[client]["enabled"] = True
    profile = Profile.from_config(config)
    at = dt.datetime(2025, 6, 11, 15, 0).astimezone()
    for path in args.sets:
        rows = load(path, at)
        started = time.process_time()
        for _ in range(args.repeat):
            for _, event in rows:
                sort_message(event, profile)
        per_message = (time.process_time() - started) / (args.repeat * len(rows))
        sortings = [(m, sort_message(e, profile)) for m, e in rows]
        print(f"\n{path.name}: {len(rows)} messages, {per_message * 1e6:.0f} µs CPU per message")
        print(f"{'label':<12} {'prec':>5} {'recall':>6} {'F1':>5} {'support':>7}   TP  FP  FN")
        for label, field in LABELS.items():
            tp = sum(m["labels"][label] and getattr(s, field) for m, s in sortings)
            fp = sum(not m["labels"][label] and getattr(s, field) for m, s in sortings)
            fn = sum(m["labels"][label] and not getattr(s, field) for m, s in sortings)
            p = tp / (tp + fp) if tp + fp else 0.0
            r = tp / (tp + fn) if tp + fn else 0.0
            f = 2 * p * r / (p + r) if p + r else 0.0
            print(f"{label:<12} {p:5.2f} {r:6.2f} {f:5.2f} {tp + fn:7d}  {tp:3d} {fp:3d} {fn:3d}")
        lists = served(rows, config, at)
        print("served: " + ", ".join(f"{title} {sum(m['labels'][label] for m in shown)}/{len(shown)}"
                                    for label, (title, shown) in lists.items()))
        if args.errors:
            for label, (title, shown) in lists.items():
                for m in (m for m in shown if not m["labels"][label]):
                    print(f"  served {title} without {label}: #{m['id']:<4} {m['content'].replace(chr(10), ' ')}")
            for label, field in LABELS.items():
                for m, s in sortings:
                    if m["labels"][label] != getattr(s, field):
                        kind = "FN" if m["labels"][label] else "FP"
                        print(f"  {label:<11} {kind} #{m['id']:<4} [{m['session_kind']}/{m['session_name']}/"
                              f"{m['sender_name']}] {m['content'].replace(chr(10), ' ')}")


if __name__ == "__main__":
    main()
