"""The stored messages held in memory, kept in step with the database file.

Every read of the core is served from here: the rows are read once, and afterwards only what
changed (SQLite's data_version tells whether anything did; new rows are those above the highest id
seen, since ids are never reused).  The file is read through a connection of its own, so a read
never waits for the capture's writes nor holds them up.

With a sorter, each message also holds its stored sorting and the key of what it was sorted for
(None: never sorted); the sorter turns the stored columns into these.  Whoever sorts messages
again puts the new sortings here (`put`), so that they are held once.
"""

from __future__ import annotations

import array
import bisect
import datetime as dt
import pathlib
import sqlite3
import sys
import threading

from ..demo_data import Event
from . import privacy
from .files import ROW_COLUMNS, SELECT_ROWS, columns_of, select_rows


class EventList(list):
    """Messages newest first as the store hands them out.  Nobody changes it after it is made, so
    results derived from it may be kept in `memo` for as long as the list lives.  `sortings` and
    `sorted_for` (when the store holds sortings) are the stored sorting of each message and what it
    was sorted for, in the same order."""

    __slots__ = ("memo", "sortings", "sorted_for")

    def __init__(self, events=(), sortings: list | None = None, sorted_for: list | None = None):
        super().__init__(events)
        self.memo: dict = {}
        self.sortings = sortings
        self.sorted_for = sorted_for

    def subset(self, flags) -> "EventList":
        """The messages whose flag is true, with their sortings."""
        flags = list(flags)
        pick = lambda values: None if values is None else [v for v, f in zip(values, flags) if f]  # noqa: E731
        return EventList((e for e, f in zip(self, flags) if f), pick(self.sortings), pick(self.sorted_for))


_ZONES: dict = {}  # (offset, name) -> one zone object for all messages in it
_SLOTS: dict = {}  # quarter of an hour (epoch seconds // 900) -> the local zone then
_SLOT = 900  # time zones change their offset on a quarter of an hour


def _zone(stamp: float):
    slot = int(stamp // _SLOT)
    zone = _SLOTS.get(slot)
    if zone is None:
        at = dt.datetime.fromtimestamp(slot * _SLOT).astimezone()
        zone = _ZONES.setdefault((at.utcoffset(), at.tzname()), at.tzinfo)
        if len(_SLOTS) > 100_000:
            _SLOTS.clear()
        _SLOTS[slot] = zone
    return zone


def to_event(row) -> Event:
    """The message of a row; names, kinds and time zones, which repeat from message to message, are
    shared."""
    return Event(row[0], sys.intern(row[2]), sys.intern(row[3]), sys.intern(row[4]), sys.intern(row[5]),
                 dt.datetime.fromtimestamp(row[1], _zone(row[1])), row[6], sys.intern(row[7]))


class HeldMessages:
    """Thread-safe.  `sync` reads what changed; the other methods answer from memory."""

    def __init__(self, path: pathlib.Path, log=print, sorter=None):
        """sorter: names the extra columns to read (`columns`) and turns their values into (key,
        sorting) (`read`); None: messages only."""
        self.path = path
        self._log = log
        self._sorter = sorter
        self._extra = tuple(sorter.columns) if sorter is not None else ()
        self._lock = threading.Lock()
        self._conn: sqlite3.Connection | None = None
        self._data_version = None
        self.problem: sqlite3.Error | None = None  # the last read failure, None while reading works
        self.first_capture = False  # the file says a message was captured once
        self.version = 0  # counts changes of the held messages
        self.generation = 0  # counts readings of a whole file (ids are unique within one)
        self.resorted = 0  # counts changes of held sortings (`put`)
        self._clear()

    def _clear(self):
        self._events: list[Event] = []  # ascending by (captured_at, id)
        self._origins: list[tuple[str, str]] = []  # (app, path) of each, shared between equal ones
        self._stamps = array.array("d")  # capture times: plain numbers, not an object each
        self._sortings: list = []  # the held sorting of each (None: never sorted)
        self._sorted_for: list = []  # the key each was sorted for
        self._max_id = 0
        self._by_target: dict[str, array.array] = {}
        self._newest: dict[str, Event] = {}
        self._last_in_chat: dict[tuple[str, str], Event] = {}
        self._windows: dict[int, tuple[int, EventList]] = {}  # start -> (version, EventList)
        self._shared: dict[tuple[str, str], tuple[str, str]] = {}

    # -- the file ----------------------------------------------------------------------------------
    def _connection(self) -> sqlite3.Connection | None:
        if self._conn is None and self.path.exists() and not privacy.is_link(self.path):
            try:
                uri = self.path.resolve().as_uri()
                try:
                    self._conn = sqlite3.connect(uri + "?mode=rw", uri=True, check_same_thread=False,
                                                 isolation_level=None, timeout=5)
                    self._conn.execute("PRAGMA query_only=ON")
                except sqlite3.OperationalError:
                    self._conn = sqlite3.connect(uri + "?mode=ro", uri=True, check_same_thread=False,
                                                 isolation_level=None, timeout=5)
            except sqlite3.Error as error:
                self.problem = error
                self._conn = None
        return self._conn

    def close(self) -> bool:
        """Lets go of the file; the next `sync` opens it again and reads it whole.  True when the
        file was open."""
        with self._lock:
            return self._let_go()

    def reload(self):
        """Forgets what is held and reads the file whole (it was replaced or rebuilt)."""
        with self._lock:
            self._let_go()
            self._clear()
            self.first_capture = False
            self.version += 1
            self.generation += 1
        self.sync()

    def _let_go(self) -> bool:
        """Closes the file (under the lock); True when it was open."""
        was_open = self._conn is not None
        if self._conn is not None:
            self._conn.close()
            self._conn = None
        self._data_version = None
        return was_open

    def sync(self) -> bool:
        """Reads what changed since the last call; True when the held messages changed."""
        with self._lock:
            conn = self._connection()
            if conn is None:
                return False
            try:
                data_version = conn.execute("PRAGMA data_version").fetchone()[0]
                if data_version == self._data_version:
                    return False
                conn.execute("BEGIN")
                try:
                    new = self._read_new(conn)
                    count = conn.execute("SELECT COUNT(*) FROM messages").fetchone()[0]
                    kept = None
                    if count != len(self._events) + len(new[0]):
                        kept = {row[0] for row in conn.execute("SELECT id FROM messages")}
                    first = conn.execute("SELECT 1 FROM meta WHERE key = 'first_capture_at'").fetchone()
                finally:
                    conn.execute("COMMIT")
            except sqlite3.Error as error:
                if self.problem is None:
                    self._log(f"msgrelay: reading {self.path.name} failed: {error}")
                self.problem = error
                return False
            self.problem = None
            self._data_version = data_version
            self.first_capture = self.first_capture or first is not None
            if kept is not None or not self._in_order(new):
                self._rebuild(kept, new)
            else:
                self._append(new)
            changed = bool(new[0]) or kept is not None
            if changed:
                self.version += 1
            return changed

    def _read_new(self, conn: sqlite3.Connection) -> tuple[list, ...]:
        """(stamps, events, origins, sorted for, sortings) of the rows above the highest id held, read a
        few thousand at a time so that a whole file never sits in memory twice, and kept in lists
        (not a tuple per row) so that nothing is left scattered in memory once they are held."""
        select = select_rows(self._extra, columns_of(conn)) if self._extra else SELECT_ROWS
        cursor = conn.execute(f"{select} WHERE id > ? ORDER BY id", (self._max_id,))
        new = ([], [], [], [], [])
        stamps, events, origins, keys, sortings = new
        read, width, shared = self._sorter.read if self._extra else None, len(ROW_COLUMNS), self._shared
        while chunk := cursor.fetchmany(4096):
            for row in chunk:
                origin = (row[8], row[9])
                key, sorting = read(row[width:]) if read else (None, None)
                stamps.append(row[1])
                events.append(to_event(row))
                origins.append(shared.setdefault(origin, origin))
                keys.append(key)
                sortings.append(sorting)
        return new

    def _in_order(self, new: tuple[list, ...]) -> bool:
        last = (self._stamps[-1], self._events[-1].id) if self._events else None
        for stamp, event in zip(new[0], new[1]):
            if last is not None and (stamp, event.id) < last:
                return False
            last = (stamp, event.id)
        return True

    def _append(self, new: tuple[list, ...]):
        stamps, events, origins, keys, sortings = new
        self._events += events
        self._origins += origins
        self._stamps.extend(stamps)
        self._sorted_for += keys
        self._sortings += sortings
        for stamp, event in zip(stamps, events):
            self._by_target.setdefault(event.chat_target, array.array("d")).append(stamp)
            self._newest[event.chat_target] = event
            self._last_in_chat[(event.chat_target, event.session_name)] = event
            self._max_id = max(self._max_id, event.id)

    def _rebuild(self, kept: set[int] | None, new: tuple[list, ...]):
        """Puts the messages in order again after deletions or one stored out of time order."""
        held = (self._stamps, self._events, self._origins, self._sorted_for, self._sortings)
        entries = [e for e in zip(*held) if kept is None or e[1].id in kept] + list(zip(*new))
        entries.sort(key=lambda e: (e[0], e[1].id))
        max_id = max([self._max_id] + [e.id for e in new[1]])
        shared = self._shared
        self._clear()
        self._shared = shared
        self._append(tuple(map(list, zip(*entries))) if entries else ([], [], [], [], []))
        self._max_id = max_id  # ids are never reused, so deleted ones stay counted

    # -- answers from memory ------------------------------------------------------------------------
    def since(self, cutoff: float) -> EventList:
        """The messages captured at or after `cutoff` (epoch seconds), newest first.  The same list
        object comes back for as long as neither the messages nor the first one in the period change."""
        return self.period(cutoff)[1]

    def period(self, cutoff: float) -> tuple[int, EventList]:
        """(generation, since(cutoff)) read together: the ids in the list are those of that generation."""
        with self._lock:
            start = bisect.bisect_left(self._stamps, cutoff)
            known = self._windows.get(start)
            if known is not None and known[0] == self.version:
                return self.generation, known[1]
            sortings = sorted_for = None
            if self._extra:
                sortings, sorted_for = self._sortings[start:][::-1], self._sorted_for[start:][::-1]
            events = EventList(reversed(self._events[start:]), sortings, sorted_for)
            self._windows = {s: w for s, w in self._windows.items() if w[0] == self.version and s != start}
            if len(self._windows) >= 4:
                self._windows.clear()
            self._windows[start] = (self.version, events)
            return self.generation, events

    # -- sortings -------------------------------------------------------------------------------------
    def stale(self, key) -> list[Event]:
        """The held messages not sorted for `key`, newest first."""
        with self._lock:
            return [e for e, k in zip(reversed(self._events), reversed(self._sorted_for)) if k != key]

    def never_sorted(self) -> int:
        with self._lock:
            return self._sorted_for.count(None) if self._extra else 0

    def put(self, sortings: dict, key) -> int:
        """Holds the sortings (message id -> sorting) made for `key`; returns how many were held.  The
        lists handed out so far keep theirs; the next ones carry these."""
        with self._lock:
            count = 0
            for index, event in enumerate(self._events):
                sorting = sortings.get(event.id)
                if sorting is not None:
                    self._sortings[index], self._sorted_for[index] = sorting, key
                    count += 1
            if count:
                self.resorted += 1
                self.version += 1
            return count

    def stats(self, target: str, cutoff: float) -> tuple[int, Event | None]:
        with self._lock:
            stamps = self._by_target.get(target, ())
            count = len(stamps) - bisect.bisect_left(stamps, cutoff)
            newest = self._newest.get(target)
            return count, (newest if count and newest is not None else None)

    def last_in_chat(self, target: str, session: str) -> Event | None:
        with self._lock:
            return self._last_in_chat.get((target, session))

    def rows(self) -> list[tuple]:
        """Every held row, oldest first (to write the messages into a new file)."""
        with self._lock:
            return self._held_rows()

    def _held_rows(self) -> list[tuple]:
        return [(e.id, stamp, e.chat_target, e.session_name, e.session_kind, e.sender_name, e.content,
                 e.content_type, *origin) for e, stamp, origin in zip(self._events, self._stamps, self._origins)]

    def __len__(self):
        with self._lock:
            return len(self._events)
