"""Fault injection for tests (MSGRELAY_FAULTS, MSGRELAY_FAULTS_FILE, MSGRELAY_FAULT_SEED); the
syntax is described in the package docstring."""

from __future__ import annotations

import dataclasses
import os
import random
import threading

ENDPOINT_NAMES = {
    "/api/auth/status": "auth",
    "/api/state": "state",
    "/api/events": "events",
    "/api/search": "search",
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
BARE_KINDS = ("drop", "malformed", "wrong-types", "no-content")
RANDOM_DELAY_MAX = 1.5  # seconds; the longest delay a `random` fault picks


@dataclasses.dataclass
class Step:
    kind: str  # status | delay | drop | malformed | wrong-types | no-content | refuse-first | random
    value: float = 0


@dataclasses.dataclass
class Rule:
    steps: list[Step]
    seen: int = 0


def _random_fault(rng: random.Random) -> Step:
    """One fault, each kind equally likely."""
    choice = rng.randrange(7)
    if choice == 0:
        return Step("status", 500)
    if choice == 1:
        return Step("status", 503)
    if choice == 2:
        return Step("delay", round(rng.uniform(0.05, RANDOM_DELAY_MAX), 3))
    return Step(BARE_KINDS[choice - 3])


class FaultPlan:
    """Parsed fault rules. `for_request` is thread-safe and counts refuse-first requests."""

    def __init__(self, spec: str = "", log=print, seed: int | None = None):
        self._rules: dict[str, Rule] = {}
        self._lock = threading.Lock()
        self.seed = seed if seed is not None else int.from_bytes(os.urandom(4), "big")
        self._rng = random.Random(self.seed)
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
            if name in BARE_KINDS and not arg:
                steps.append(Step(name))
            elif name == "status" and arg.isdigit() and 100 <= int(arg) <= 599:
                steps.append(Step(name, int(arg)))
            elif name == "refuse-first" and arg.isdigit():
                steps.append(Step(name, int(arg)))
            elif name in ("delay", "random"):
                value = float(arg)  # ValueError for junk
                limit = 3600 if name == "delay" else 1
                if not 0 <= value <= limit:
                    raise ValueError(f"{name} must be between 0 and {limit}")
                steps.append(Step(name, value))
            else:
                raise ValueError(f"unknown fault kind {raw!r}")
        return target, steps

    def __bool__(self) -> bool:
        return bool(self._rules)

    def describe(self) -> str:
        text = "; ".join(f"{t}=" + ",".join(s.kind + (f":{s.value:g}" if s.kind not in BARE_KINDS else "")
                                           for s in r.steps) for t, r in self._rules.items())
        if any(s.kind == "random" for r in self._rules.values() for s in r.steps):
            text += f" (seed {self.seed})"
        return text

    def for_request(self, path: str) -> list[Step]:
        """The steps to apply to one request of `path`: refuse-first turns into drop while it
        lasts, random into one fault of any other kind or nothing."""
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
                elif step.kind == "random":
                    if self._rng.random() < step.value:
                        steps.append(_random_fault(self._rng))
                else:
                    steps.append(step)
        return steps


class FaultFile:
    """A FaultPlan read from a file and read again whenever the file changes (tests switch
    faults without restarting the core; counters start afresh). A missing file means no faults."""

    def __init__(self, path: str, log=print, seed: int | None = None):
        self._path = path
        self._log = log
        self._seed = seed
        self._lock = threading.Lock()
        self._signature = None
        self._plan = FaultPlan("", log=log, seed=seed)
        self._quiet = True  # the first reading is reported by the caller (describe)
        self._refresh()
        self._quiet = False

    def _refresh(self) -> FaultPlan:
        try:
            info = os.stat(self._path)
            signature = (info.st_ino, info.st_mtime_ns, info.st_size)
        except OSError:
            signature = None
        with self._lock:
            if signature != self._signature:
                try:
                    with open(self._path, encoding="utf-8") as file:
                        spec = file.read()
                except OSError:
                    spec = ""
                self._signature = signature
                self._plan = FaultPlan(spec, log=self._log, seed=self._seed)
                if not self._quiet:
                    self._log(f"msgrelay: fault injection now: {self._plan.describe() or 'none'}")
            return self._plan

    def __bool__(self) -> bool:
        return True

    def describe(self) -> str:
        return f"from {self._path}: {self._refresh().describe() or 'none'}"

    def for_request(self, path: str) -> list[Step]:
        return self._refresh().for_request(path)


def from_environment(environ, log=print):
    """The fault plan the environment asks for: MSGRELAY_FAULTS_FILE, else MSGRELAY_FAULTS."""
    raw_seed = environ.get("MSGRELAY_FAULT_SEED", "").strip()
    seed = None
    if raw_seed:
        try:
            seed = int(raw_seed)
        except ValueError:
            log(f"msgrelay: ignoring MSGRELAY_FAULT_SEED {raw_seed!r}: not an integer")
    if environ.get("MSGRELAY_FAULTS_FILE"):
        return FaultFile(environ["MSGRELAY_FAULTS_FILE"], log=log, seed=seed)
    return FaultPlan(environ.get("MSGRELAY_FAULTS", ""), log=log, seed=seed)
