"""The capture: runs the bus monitor in a thread, stores the chat clients' messages, purges old ones.

A client is read when the configuration has it enabled with the source "notification-db".  The
monitor runs while at least one client is read and this core holds the database's write lock;
`reconcile` starts or stops it after the settings change.  A lost bus connection is retried a
few times; a refused monitor or a missing bus is reported in `status` and not retried.
"""

from __future__ import annotations

import collections
import dataclasses
import sys
import threading
import time

from .. import message_db
from ..demo_data import Event
from ..message_db import MessageDB, NewMessage
from ..triage.visibility import allowlisted
from . import clients, parse
from .dbus_monitor import BusMonitor, MonitorError, Sighting
from .repeats import RepeatFilter, remember

SOURCE = "notification-db"
TARGETS = ("wechat", "wecom")
PURGE_INTERVAL = 3600.0
CHECK_INTERVAL = 2.0  # how often the database is looked after (take-over, a deleted or damaged file)
RETRY_DELAY = 5.0
MAX_RETRIES = 5
JOIN_TIMEOUT = 5.0
SWITCH_INTERVAL = 0.001  # seconds a busy thread holds the interpreter before another may run

# States of the capture, for diagnostics.
OFF = "off"  # no client is read from notifications
STARTING = "starting"
MONITORING = "monitoring"
NO_BUS = "no_bus"  # no session bus address in the environment
NO_LIBRARY = "no_library"  # python3-jeepney is missing
BUS_ERROR = "bus_error"
REFUSED = "refused"
LOST = "lost"
LOCKED = "locked"  # another core writes the database
DB_ERROR = "db_error"


@dataclasses.dataclass
class Counters:
    """What happened to a client's notifications since this core started; never their text."""

    stored: int = 0
    unsaved: int = 0  # passed every rule but could not be saved
    repeats: int = 0
    outside_allowlist: int = 0
    without_text: int = 0
    app: str = ""


@dataclasses.dataclass(frozen=True)
class Status:
    state: str
    detail: str = ""


@dataclasses.dataclass(frozen=True)
class ClientReport:
    reads: bool  # enabled with the notification source
    stats: message_db.ClientStats  # stored in the last 7 days
    counters: Counters


@dataclasses.dataclass(frozen=True)
class Report:
    """The capture's situation for the diagnostics and the setup checklist."""

    status: Status
    demo: bool  # no message was ever captured, so the demo data is shown
    db_path: str
    clients: dict  # target -> ClientReport
    storage: message_db.StorageHealth = message_db.StorageHealth(None, "", (), 0)
    took_over: bool = False  # this core took the capture over from another that has gone


def reads(config: dict, target: str) -> bool:
    client = config.get(target, {})
    return bool(client.get("enabled")) and client.get("source") == SOURCE


class Capture:
    def __init__(self, db: MessageDB, config, bus_address: str | None, local_time, log=print,
                 purge_interval: float = PURGE_INTERVAL, retry_delay: float = RETRY_DELAY,
                 check_interval: float = CHECK_INTERVAL):
        """config: returns the current configuration; local_time: returns the aware local time."""
        self.db = db
        self._config = config
        self._bus_address = bus_address
        self._local_time = local_time
        self._log = log
        self._purge_interval = purge_interval
        self._retry_delay = retry_delay
        self._check_interval = check_interval
        self._lock = threading.Lock()
        self._repeats = RepeatFilter(stored=self._last_stored)
        self._kinds: collections.OrderedDict = collections.OrderedDict()  # (target, chat) -> kind stored
        self._counters = {target: Counters() for target in TARGETS}
        self._status = Status(OFF)
        self._monitor: BusMonitor | None = None
        self._thread: threading.Thread | None = None
        self._stop_monitor = threading.Event()
        self._closing = threading.Event()
        self._housekeeping = threading.Lock()
        self._next_check = self._next_purge = 0.0
        self._observers: list = []

    def add_observer(self, observer):
        """observer(event) is called on the capture's thread after each message that was stored."""
        self._observers.append(observer)

    # -- life cycle ---------------------------------------------------------------------------------
    def start(self):
        # Request threads share the interpreter with the capture; a short switch interval keeps a
        # notification from waiting long behind one of them working out a digest.
        sys.setswitchinterval(SWITCH_INTERVAL)
        self.purge_now()
        self._next_check = time.monotonic() + self._check_interval
        self._next_purge = time.monotonic() + self._purge_interval
        self.reconcile()

    def reconcile(self):
        """Starts or stops the monitor to match the configuration."""
        config = self._config()
        wanted = any(reads(config, target) for target in TARGETS)
        with self._lock:
            running = self._thread is not None and self._thread.is_alive()
            if not wanted:
                if running:
                    self._stop_locked()
                self._status = Status(OFF)
                return
            if running or self._closing.is_set():
                return
            blocked = self._blocked_status()
            if blocked is not None:
                self._status = blocked
                return
            self._status = Status(STARTING)
            self._stop_monitor = threading.Event()
            self._thread = threading.Thread(target=self._run, args=(self._stop_monitor,),
                                            name="msgrelay-capture", daemon=True)
            self._thread.start()

    def _blocked_status(self) -> Status | None:
        if not self.db.writable:
            return Status(LOCKED if self.db.locked_by else DB_ERROR, self.db.error or "")
        if not self._bus_address:
            return Status(NO_BUS, "没有 D-Bus 会话总线（DBUS_SESSION_BUS_ADDRESS 未设置），读取不到桌面通知。")
        try:
            import jeepney  # noqa: F401
        except ImportError:
            return Status(NO_LIBRARY, "缺少 python3-jeepney，无法监听桌面通知；请运行 scripts/install-deps.sh。")
        return None

    def _stop_locked(self):
        self._stop_monitor.set()
        if self._monitor is not None:
            self._monitor.stop()
        thread = self._thread
        self._thread = None
        if thread is not None and thread is not threading.current_thread():
            self._lock.release()
            try:
                thread.join(timeout=JOIN_TIMEOUT)
            finally:
                self._lock.acquire()

    def close(self):
        self._closing.set()
        with self._lock:
            self._stop_locked()
        with self._housekeeping:
            self.db.close()

    def status(self) -> Status:
        with self._lock:
            return self._status

    def counters(self, target: str) -> Counters:
        with self._lock:
            return dataclasses.replace(self._counters[target])

    def report(self) -> Report:
        config = self._config()
        cutoff = self._local_time() - message_db.RETENTION
        per_client = {t: ClientReport(reads(config, t), self.db.stats(t, cutoff), self.counters(t)) for t in TARGETS}
        return Report(self.status(), not self.db.has_real_data(), str(self.db.path), per_client, self.db.health(),
                      self.db.took_over)

    # -- the monitor thread -------------------------------------------------------------------------
    def _set_status(self, status: Status, stop: threading.Event):
        with self._lock:
            if not stop.is_set():
                self._status = status

    def _run(self, stop: threading.Event):
        failures = 0
        while True:
            monitor = BusMonitor(self._bus_address, self.offer, on_monitoring=lambda: self._on_monitoring(stop))
            with self._lock:
                if stop.is_set():
                    return
                self._monitor = monitor
            try:
                outcome = monitor.run()
            except MonitorError as error:
                self._log(f"msgrelay: notification capture unavailable ({error.state})")
                self._set_status(Status(error.state, error.text), stop)
                if error.state == REFUSED:
                    return
                outcome = "failed"
            if outcome == "stopped" or stop.is_set():
                return
            if outcome == "lost":
                self._log("msgrelay: the session bus connection ended")
                self._set_status(Status(LOST, "与 D-Bus 会话总线的连接已断开。"), stop)
            failures = 1 if monitor.monitoring else failures + 1
            if failures > MAX_RETRIES:
                self._log(f"msgrelay: giving up on the session bus after {MAX_RETRIES} attempts")
                return
            if stop.wait(self._retry_delay):
                return

    def _on_monitoring(self, stop: threading.Event):
        names = "、".join(clients.LABELS[t] for t in TARGETS if reads(self._config(), t))
        self._log(f"msgrelay: watching desktop notifications on the session bus for {names}")
        self._set_status(Status(MONITORING), stop)

    # -- storing ------------------------------------------------------------------------------------
    def offer(self, sighting: Sighting) -> int | None:
        """Stores a chat client's notification unless the settings or the repeat rule say no; the id or None."""
        try:
            return self._offer(sighting)
        except Exception as error:  # one odd notification never ends the capture
            self._log(f"msgrelay: a {sighting.target} notification could not be stored: {type(error).__name__}")
            return None

    def _offer(self, sighting: Sighting) -> int | None:
        config = self._config()
        target = sighting.target
        if not reads(config, target):
            return None
        label = clients.LABELS[target]
        message = parse.parse(sighting.title, sighting.body, fallback_session=label,
                              known_kind=lambda session: self._kind_of(target, session))
        now = self._local_time()
        with self._lock:
            counters = self._counters[target]
            counters.app = sighting.app
            if message is None:
                counters.without_text += 1
                self._log(f"msgrelay: a {label} notification from {sighting.app} had no text "
                          f"({counters.without_text} so far)")
                return None
            if not allowlisted(config[target], message.session_name):
                counters.outside_allowlist += 1
                return None
            if self._repeats.is_repeat(target, message.session_name, message.sender_name, message.content, now,
                                       sighting.key, sighting.replacing):
                counters.repeats += 1
                return None
            stored = self.db.insert(NewMessage(now, target, message.session_name, message.session_kind,
                                               message.sender_name, message.content, message.content_type,
                                               sighting.app[:100], sighting.path))
            if stored is None:
                counters.unsaved += 1
                return None
            self._repeats.stored(target, message.session_name, message.sender_name, message.content, now,
                                 sighting.key)
            remember(self._kinds, (target, message.session_name), message.session_kind)
            counters.stored += 1
            total = counters.stored
        self._log(f"msgrelay: stored a {label} notification from {sighting.app} via {sighting.path} "
                  f"({total} since start)")
        self._tell(Event(stored, target, message.session_name, message.session_kind, message.sender_name, now,
                         message.content, message.content_type))
        return stored

    def _tell(self, event: Event):
        for observer in self._observers:
            try:
                observer(event)
            except Exception as error:  # the message is stored whatever an observer makes of it
                self._log(f"msgrelay: an observer of stored messages failed: {type(error).__name__}")

    def _last_stored(self, target: str, session: str) -> tuple[str, str] | None:
        """What the chat's newest stored message showed (sender, text): the repeat rule's memory
        across a restart."""
        event = self.db.last_in_chat(target, session)
        return (event.sender_name, event.content) if event is not None else None

    def _kind_of(self, target: str, session: str) -> str | None:
        """The kind of chat as stored last (by this core since it started, else as read)."""
        kind = self._kinds.get((target, session))
        if kind is None:
            event = self.db.last_in_chat(target, session)
            kind = event.session_kind if event is not None else None
        return kind

    # -- housekeeping -------------------------------------------------------------------------------
    def purge_now(self) -> int:
        removed = self.db.purge(self._local_time(), message_db.RETENTION)
        if removed:
            self._log(f"msgrelay: removed {removed} messages older than 7 days")
        return removed

    def housekeep(self):
        """Looks after the database when it is due: every check interval (a core that refused to
        write takes over once the writer has gone; a file deleted or damaged is mended) and every
        purge interval.  The core's serving loop calls it every fraction of a second, so that no
        thread of its own wakes up for it."""
        now = time.monotonic()
        if now < self._next_check or self._closing.is_set() or not self._housekeeping.acquire(blocking=False):
            return
        try:
            self._next_check = now + self._check_interval
            if self.db.tick() == "took_over":
                self.purge_now()
                self._next_purge = time.monotonic() + self._purge_interval
                self.reconcile()
            elif now >= self._next_purge:
                self.purge_now()
                self._next_purge = time.monotonic() + self._purge_interval
        finally:
            self._housekeeping.release()
