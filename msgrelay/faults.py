"""Fault injection for tests (MSGRELAY_FAULTS); the syntax is described in the package docstring."""

from __future__ import annotations

import dataclasses
import threading

ENDPOINT_NAMES = {
    "/api/auth/status": "auth",
    "/api/state": "state",
    "/api/events": "events",
    "/api/ask": "ask",
    "/api/chat": "chat",
    "/api/scan/wecom/visible": "scan",
    "/api/config/native/save": "save",
    "/api/remote/context/push": "push",
    "/api/tasks/complete": "complete",
    "/api/desktop/open-config-dir": "open-config-dir",
    "/api/agent/context": "agent",
    "/mobile.html": "mobile",
}


@dataclasses.dataclass
class Step:
    kind: str  # status | delay | drop | malformed | refuse-first
    value: float = 0


@dataclasses.dataclass
class Rule:
    steps: list[Step]
    seen: int = 0


class FaultPlan:
    """Parsed MSGRELAY_FAULTS. `for_request` is thread-safe and counts refuse-first requests."""

    def __init__(self, spec: str = "", log=print):
        self._rules: dict[str, Rule] = {}
        self._lock = threading.Lock()
        for entry in (part.strip() for part in (spec or "").split(";")):
            if not entry:
                continue
            try:
                target, steps = self._parse_entry(entry)
            except ValueError as error:
                log(f"msgrelay: ignoring fault {entry!r}: {error}")
                continue
            self._rules[target] = Rule(steps)

    @staticmethod
    def _parse_entry(entry: str) -> tuple[str, list[Step]]:
        target, sep, kinds = entry.partition("=")
        target = target.strip()
        if not sep or not target:
            raise ValueError("expected TARGET=KIND")
        target = ENDPOINT_NAMES.get(target, target)
        if target != "*" and target not in ENDPOINT_NAMES.values():
            raise ValueError(f"unknown endpoint {target!r}")
        steps = []
        for raw in (k.strip() for k in kinds.split(",")):
            name, _, arg = raw.partition(":")
            if name in ("drop", "malformed") and not arg:
                steps.append(Step(name))
            elif name == "status" and arg.isdigit() and 100 <= int(arg) <= 599:
                steps.append(Step(name, int(arg)))
            elif name == "refuse-first" and arg.isdigit():
                steps.append(Step(name, int(arg)))
            elif name == "delay":
                seconds = float(arg)  # ValueError for junk
                if not 0 <= seconds <= 3600:
                    raise ValueError("delay must be between 0 and 3600 seconds")
                steps.append(Step(name, seconds))
            else:
                raise ValueError(f"unknown fault kind {raw!r}")
        return target, steps

    def __bool__(self) -> bool:
        return bool(self._rules)

    def describe(self) -> str:
        return "; ".join(f"{t}=" + ",".join(s.kind + (f":{s.value:g}" if s.kind not in ("drop", "malformed") else "")
                                           for s in r.steps) for t, r in self._rules.items())

    def for_request(self, path: str) -> list[Step]:
        """The steps to apply to one request of `path`; refuse-first turns into drop while it lasts."""
        name = ENDPOINT_NAMES.get(path, path)
        with self._lock:
            rule = self._rules.get(name) or self._rules.get("*")
            if rule is None:
                return []
            rule.seen += 1
            seen = rule.seen
        steps = []
        for step in rule.steps:
            if step.kind == "refuse-first":
                if seen <= step.value:
                    steps.append(Step("drop"))
            else:
                steps.append(step)
        return steps
