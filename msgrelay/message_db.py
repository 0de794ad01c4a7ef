"""The captured messages: an SQLite database beside the configuration file (msgrelay.db).

One table of messages with a stable 64-bit id (never reused, served as the event's id), an index
on the capture time, and a purge of everything older than the retention period.  Only one core
writes a database: the writer holds an exclusive lock on msgrelay.db.lock; a second core opens
the database read-only and says why.  The files are private to the user (mode 0600), and purged
rows are overwritten on disk (secure_delete), so nothing lingers after the retention period.
"""

from __future__ import annotations

import dataclasses
import datetime as dt
import fcntl
import os
import pathlib
import sqlite3
import threading

from .demo_data import Event

DB_NAME = "msgrelay.db"
RETENTION = dt.timedelta(days=7)
_SCHEMA = """
CREATE TABLE IF NOT EXISTS messages (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    captured_at REAL NOT NULL,
    chat_target TEXT NOT NULL,
    session_name TEXT NOT NULL,
    session_kind TEXT NOT NULL,
    sender_name TEXT NOT NULL,
    content TEXT NOT NULL,
    content_type TEXT NOT NULL,
    app TEXT NOT NULL,
    path TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS messages_by_time ON messages (captured_at);
CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
"""
_COLUMNS = "id, captured_at, chat_target, session_name, session_kind, sender_name, content, content_type"


@dataclasses.dataclass(frozen=True)
class NewMessage:
    at: dt.datetime
    chat_target: str
    session_name: str
    session_kind: str
    sender_name: str
    content: str
    content_type: str
    app: str  # the client's application name or id, as it announced itself
    path: str  # the notification interface it came through


@dataclasses.dataclass(frozen=True)
class ClientStats:
    count: int
    latest: Event | None


def _event(row) -> Event:
    at = dt.datetime.fromtimestamp(row[1]).astimezone()
    return Event(row[0], row[2], row[3], row[4], row[5], at, row[6], row[7])


class MessageDB:
    """Thread-safe; `writable` tells whether this core holds the write lock.

    `error` is None when the database is usable, else a user-facing reason.  A database that
    cannot be opened at all behaves as an empty one.
    """

    def __init__(self, folder: pathlib.Path, log=print):
        self.path = pathlib.Path(folder) / DB_NAME
        self.lock_path = self.path.with_name(DB_NAME + ".lock")
        self.writable = False
        self.error: str | None = None
        self.locked_by: str | None = None
        self._log = log
        self._mutex = threading.Lock()
        self._lock_file = None
        self._conn: sqlite3.Connection | None = None
        try:
            self.path.parent.mkdir(parents=True, exist_ok=True)
            if self._take_lock():
                self._conn = self._open_for_writing()
                self.writable = True
            else:
                self._conn = self._open_read_only()
        except (OSError, sqlite3.Error) as error:
            self.error = f"消息数据库 {self.path} 无法打开：{error}"
            self._log(f"msgrelay: cannot open {self.path}: {error}")
            self._release_lock()
            self._conn = None
            self.writable = False

    # -- opening -----------------------------------------------------------------------------------
    def _take_lock(self) -> bool:
        fd = os.open(self.lock_path, os.O_RDWR | os.O_CREAT, 0o600)
        handle = os.fdopen(fd, "r+")
        try:
            fcntl.flock(handle, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            holder = handle.read().strip()
            handle.close()
            self.locked_by = holder or "?"
            self.error = (f"另一个本地核心（进程 {self.locked_by}）正在写入 {self.path}，"
                          "本核心不读取通知，只显示已保存的消息。")
            self._log(f"msgrelay: {self.path} is written by another core (pid {self.locked_by}); "
                      "not capturing notifications")
            return False
        handle.seek(0)
        handle.truncate()
        handle.write(str(os.getpid()))
        handle.flush()
        self._lock_file = handle
        return True

    def _release_lock(self):
        if self._lock_file is not None:
            self._lock_file.close()  # closing the descriptor releases the lock
            self._lock_file = None

    def _open_for_writing(self) -> sqlite3.Connection:
        if not self.path.exists():
            os.close(os.open(self.path, os.O_RDWR | os.O_CREAT, 0o600))  # -wal and -shm inherit the mode
        os.chmod(self.path, 0o600)
        conn = sqlite3.connect(self.path, check_same_thread=False, isolation_level=None, timeout=5)
        conn.execute("PRAGMA journal_mode=WAL")
        conn.execute("PRAGMA secure_delete=ON")
        conn.execute("PRAGMA synchronous=NORMAL")
        conn.executescript(_SCHEMA)
        return conn

    def _open_read_only(self) -> sqlite3.Connection | None:
        if not self.path.exists():
            return None
        uri = self.path.resolve().as_uri() + "?mode=ro"
        return sqlite3.connect(uri, uri=True, check_same_thread=False, isolation_level=None, timeout=5)

    def _reopen_read_only(self) -> sqlite3.Connection | None:
        try:
            return self._open_read_only()
        except sqlite3.Error:
            return None

    def close(self):
        with self._mutex:
            if self._conn is not None:
                if self.writable:
                    try:
                        self._conn.execute("PRAGMA wal_checkpoint(TRUNCATE)")
                    except sqlite3.Error:
                        pass
                self._conn.close()
                self._conn = None
            self._release_lock()
            self.writable = False

    # -- reading and writing -----------------------------------------------------------------------
    def _query(self, sql: str, args=()) -> list:
        with self._mutex:
            if self._conn is None and not self.writable and self.locked_by is not None:
                self._conn = self._reopen_read_only()  # the writer may have created it since
            if self._conn is None:
                return []
            try:
                return self._conn.execute(sql, args).fetchall()
            except sqlite3.Error as error:
                self._log(f"msgrelay: reading {self.path.name} failed: {error}")
                return []

    def has_real_data(self) -> bool:
        """True from the first captured message on, even after every message has been purged."""
        return bool(self._query("SELECT 1 FROM meta WHERE key = 'first_capture_at'"))

    def since(self, cutoff: dt.datetime) -> list[Event]:
        """Messages captured at or after cutoff, newest first."""
        rows = self._query(f"SELECT {_COLUMNS} FROM messages WHERE captured_at >= ? "
                           "ORDER BY captured_at DESC, id DESC", (cutoff.timestamp(),))
        return [_event(row) for row in rows]

    def stats(self, chat_target: str, cutoff: dt.datetime) -> ClientStats:
        count = self._query("SELECT COUNT(*) FROM messages WHERE chat_target = ? AND captured_at >= ?",
                            (chat_target, cutoff.timestamp()))
        newest = self._query(f"SELECT {_COLUMNS} FROM messages WHERE chat_target = ? AND captured_at >= ? "
                             "ORDER BY captured_at DESC, id DESC LIMIT 1", (chat_target, cutoff.timestamp()))
        return ClientStats(count[0][0] if count else 0, _event(newest[0]) if newest else None)

    def insert(self, message: NewMessage) -> int | None:
        """Stores one message and returns its id; None when this core may not write."""
        with self._mutex:
            if self._conn is None or not self.writable:
                return None
            try:
                self._conn.execute("BEGIN IMMEDIATE")
                cursor = self._conn.execute(
                    "INSERT INTO messages (captured_at, chat_target, session_name, session_kind, sender_name, "
                    "content, content_type, app, path) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                    (message.at.timestamp(), message.chat_target, message.session_name, message.session_kind,
                     message.sender_name, message.content, message.content_type, message.app, message.path))
                self._conn.execute("INSERT OR IGNORE INTO meta (key, value) VALUES ('first_capture_at', ?)",
                                   (message.at.isoformat(timespec="seconds"),))
                self._conn.execute("COMMIT")
                return cursor.lastrowid
            except sqlite3.Error as error:
                if self._conn.in_transaction:
                    self._conn.execute("ROLLBACK")
                self._log(f"msgrelay: storing a message in {self.path.name} failed: {error}")
                return None

    def purge(self, now: dt.datetime, retention: dt.timedelta = RETENTION) -> int:
        """Deletes messages captured before now - retention; returns how many went."""
        with self._mutex:
            if self._conn is None or not self.writable:
                return 0
            try:
                cursor = self._conn.execute("DELETE FROM messages WHERE captured_at < ?",
                                            ((now - retention).timestamp(),))
                if cursor.rowcount:
                    self._conn.execute("PRAGMA wal_checkpoint(TRUNCATE)")
                return max(cursor.rowcount, 0)
            except sqlite3.Error as error:
                self._log(f"msgrelay: purging {self.path.name} failed: {error}")
                return 0
