"""The captured messages: an SQLite database beside the configuration file (msgrelay.db).

One table of messages with a stable 64-bit id (never reused, served as the event's id), an index
on the capture time, and a purge of everything older than the retention period, after which the
file gives the freed space back.  Only one core writes a database: the writer holds an exclusive
lock on msgrelay.db.lock; a second core reads the database and takes over once the writer has gone
(`tick`).  The files are private to the user (mode 0600), and purged rows are overwritten on disk
(secure_delete), so nothing lingers after the retention period.

Reads are served from memory (store.held); the writer's connection only writes, so a capture never
waits for a read.  Given a sorter (the core's), each message is stored with its sorting and what it
was sorted for; sortings made again later are written back with `save_sortings`.  Storage never fails silently: a message that could not be saved is counted and
the reason kept (`health`); a file deleted or replaced while the core runs is written again from
what the core holds, and a damaged one is set aside after what can still be read has been moved
into a new file.
"""

from __future__ import annotations

import dataclasses
import datetime as dt
import fcntl
import os
import pathlib
import sqlite3
import threading
import time

from .demo_data import Event
from .store import files
from .store.held import EventList, HeldMessages

DB_NAME = "msgrelay.db"
RETENTION = dt.timedelta(days=7)
PURGE_CHUNK = 500  # rows deleted per write transaction, so a capture never waits long behind a purge
SHRINK_CHUNK = 256  # pages given back per write transaction
SHRINK_SHARE = 4  # the file shrinks once a quarter of it is free
REOPEN_INTERVAL = 30.0  # seconds between attempts to open a read-only file for writing again


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


@dataclasses.dataclass(frozen=True)
class StorageHealth:
    """What the user needs to know about the database; texts in plain Chinese."""

    problem: str | None  # why messages cannot be saved right now (None: saving works)
    action: str  # what the user can do about the problem
    notes: tuple[str, ...]  # what went wrong earlier and how it was mended
    unsaved: int  # messages that could not be saved since the core started


RETRYING = "核心每隔几秒重试，恢复后自动继续保存。"


def _describe(error: BaseException, path: pathlib.Path) -> tuple[str, str]:
    """(what is wrong, what to do) for a failure to open or to write the database."""
    name = getattr(error, "sqlite_errorname", "") or ""
    number = getattr(error, "errno", None)
    if name == "SQLITE_FULL" or number == 28:
        return f"磁盘空间已满，消息无法写入 {path}", "清理磁盘空间后会自动恢复保存。"
    if name.startswith("SQLITE_READONLY") or number in (13, 30):
        return f"{path} 是只读的，消息无法写入", f"让当前用户可以写入这个文件和它所在的文件夹。{RETRYING}"
    if name.startswith("SQLITE_CANTOPEN") or isinstance(error, OSError):
        reason = getattr(error, "strerror", None) or error
        return f"无法打开 {path}（{reason}）", f"检查这个文件和它所在文件夹的权限。{RETRYING}"
    return f"写入 {path} 时出错（{name or error}）", f"检查磁盘是否正常。{RETRYING}"


def _by_id(*sources: list[tuple]) -> list[tuple]:
    """The rows of every source in id order, one per id: a later source's copy wins."""
    rows = {}
    for source in sources:
        rows.update((r[0], r) for r in source)
    return [rows[k] for k in sorted(rows)]


class MessageDB:
    """Thread-safe; `writable` tells whether this core holds the write lock.

    `error` is None when this core can save messages, else a user-facing reason."""

    def __init__(self, folder: pathlib.Path, log=print, local_time=None, sorter=None):
        """sorter: sorts each message as it is stored (`row(event)`: the values of its `columns`) and
        reads them back (`read`); None (outside tools) leaves them NULL, to be sorted by the core."""
        self.path = pathlib.Path(folder) / DB_NAME
        self._sorter = sorter
        self._extra = tuple(sorter.columns) if sorter is not None else ()
        self._insert_sql = files.insert_message(self._extra)
        self.lock_path = self.path.with_name(DB_NAME + ".lock")
        self.writable = False
        self.error: str | None = None
        self.locked_by: str | None = None
        self._log = log
        self._now = local_time or (lambda: dt.datetime.now().astimezone())
        self._write_lock = threading.Lock()  # the writer's connection and the file's identity
        self._lock_file = None
        self._conn: sqlite3.Connection | None = None
        self._identity: tuple | None = None  # (device, inode) of the file the writer has open
        self._first_capture = False
        self._failure: tuple[str, str] | None = None  # (what is wrong, what to do)
        self._reopen_at: float | None = None  # when to open a file that refused writes again
        self._unsaved = 0
        self._notes: list[str] = []
        self.took_over = False  # took the lock over from a core that has gone
        self.held = HeldMessages(self.path, log, sorter)
        try:
            self.path.parent.mkdir(parents=True, exist_ok=True)
            if self._take_lock():
                self.writable = True
                self._open_writer()
        except OSError as error:
            self._fail_open(error)

    # -- opening -----------------------------------------------------------------------------------
    def _take_lock(self) -> bool:
        files.refuse_link(self.lock_path)
        fd = os.open(self.lock_path, os.O_RDWR | os.O_CREAT | os.O_NOFOLLOW | os.O_CLOEXEC, 0o600)
        handle = os.fdopen(fd, "r+")
        try:
            fcntl.flock(handle, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            holder = handle.read().strip()
            handle.close()
            if self.locked_by is None:
                self._log(f"msgrelay: {self.path} is written by another core (pid {holder or '?'}); "
                          "not capturing notifications")
            self.locked_by = holder or "?"
            self.error = (f"另一个本地核心（进程 {self.locked_by}）正在写入 {self.path}，"
                          "本核心不读取通知，只显示已保存的消息；那个核心退出后，本核心会在几秒内接手。")
            return False
        handle.seek(0)
        handle.truncate()
        handle.write(str(os.getpid()))
        handle.flush()
        self._lock_file = handle
        self.locked_by = None
        return True

    def _release_lock(self):
        if self._lock_file is not None:
            self._lock_file.close()  # closing the descriptor releases the lock
            self._lock_file = None

    def _open_writer(self):
        """Opens (or creates) the file for writing, migrated to the current schema; a damaged file
        is set aside after its readable messages have been moved into a new one.  A file that is
        gone or holds nothing although messages were stored in this folder is noted as a loss."""
        existed = os.path.lexists(self.path)
        outcome = self._connect_or_replace(memory=[])
        if outcome:
            self.error = None
        if outcome == "opened" and not self._first_capture and files.was_captured(self.path):
            how = "在核心未运行时被删除或移走" if not existed else "在核心未运行时被换成了没有消息的文件"
            self._note(f"消息数据库文件 {self.path.name} {how}，之前保存的消息已丢失；新消息照常保存。",
                       f"{self.path.name} was {'gone' if not existed else 'empty'} although messages were stored "
                       "here before; they are lost")
            try:
                self._conn.execute(files.MARK_FIRST_CAPTURE, (self._now().isoformat(timespec="seconds"),))
                self._first_capture = True
            except sqlite3.Error:
                pass

    def _connect_or_replace(self, memory: list[tuple]) -> str | None:
        """Opens the file for writing ("opened"), or sets a damaged one aside after its readable
        messages and `memory` have been moved into a new file ("replaced"); None when it cannot be
        opened (the reason is kept)."""
        try:
            self._conn = self._connect_writer()
            return "opened"
        except (OSError, sqlite3.Error) as error:
            if not files.is_damage(error):
                self._fail_open(error)
                return None
            self._log(f"msgrelay: {self.path.name} is damaged ({error}); moving what can be read into a new file")
            self._replace_damaged(memory)
            return "replaced"

    def _connect_writer(self) -> sqlite3.Connection:
        if not self.path.exists():
            files.create_private(self.path)
        files.keep_private(self.path)
        conn = sqlite3.connect(self.path, check_same_thread=False, isolation_level=None, timeout=5)
        try:
            conn.execute("PRAGMA secure_delete=ON")
            conn.execute("PRAGMA journal_mode=WAL")
            conn.execute("PRAGMA synchronous=NORMAL")
            verdict = conn.execute("PRAGMA quick_check").fetchone()[0]
            if verdict != "ok":
                raise sqlite3.DatabaseError(f"database disk image is malformed: {verdict}")
            try:
                files.migrate(conn, self._extra)
            except sqlite3.Error as error:
                if files.is_damage(error):
                    raise
                self._failure = _describe(error, self.path)  # readable, not writable: keep reading
            self._first_capture = conn.execute(
                "SELECT 1 FROM meta WHERE key = 'first_capture_at'").fetchone() is not None
            if self._first_capture:
                files.mark_captured(self.path)
        except BaseException:
            conn.close()
            raise
        stat = os.stat(self.path)
        self._identity = (stat.st_dev, stat.st_ino)
        return conn

    def _fail_open(self, error: BaseException):
        self._conn = None
        self._failure = _describe(error, self.path)
        self.error = f"消息数据库 {self.path} 无法打开：{error}"
        self._log(f"msgrelay: cannot open {self.path}: {error}")

    def close(self):
        with self._write_lock:
            if self._conn is not None:
                try:
                    self._conn.execute("PRAGMA wal_checkpoint(TRUNCATE)")
                except sqlite3.Error:
                    pass
                self._conn.close()
                self._conn = None
            self.held.close()
            self._release_lock()
            self.writable = False

    # -- keeping the file honest ---------------------------------------------------------------------
    def tick(self) -> str | None:
        """Called every few seconds: takes the write lock over from a core that has gone, opens a
        file that could not be opened, and mends a file deleted, replaced or damaged meanwhile.
        Returns "took_over" when this core has just become the writer."""
        if not self.writable and self.locked_by is not None:
            try:
                if not self._take_lock():
                    return None
            except OSError:
                return None
            with self._write_lock:
                self.writable = True
                self._open_writer()
            self.took_over = True
            self._log(f"msgrelay: the core that wrote {self.path.name} has gone; this core now captures")
            self.held.reload()
            return "took_over"
        if not self.writable:
            return None
        with self._write_lock:
            failure = None  # a file that could not be opened is fine once it opens
            if self._conn is not None and self._reopen_at is not None and time.monotonic() >= self._reopen_at:
                self._let_go()  # a connection opened read-only stays so: open the file afresh
                self._reopen_at = time.monotonic() + REOPEN_INTERVAL
                failure = self._failure  # whether it takes messages again, the next one tells
            if self._conn is None:
                previous, self._failure = self._failure, failure
                try:
                    self._conn = self._connect_writer()
                    self.error = None
                except (OSError, sqlite3.Error):
                    self._failure = previous
                    return None
        self.check_file()
        return None

    def check_file(self):
        """Mends the file when it is no longer the one the writer has open, or reads fail as damaged."""
        if not self.writable or self._identity is None:
            return
        identity = self._file_identity()
        damaged = files.is_damage(self.held.problem)
        if identity == self._identity and not damaged:
            return
        with self._write_lock:
            identity = self._file_identity()
            if identity is None:
                self._restore_deleted()
            elif identity != self._identity:
                self._adopt_replacement()
            elif files.is_damage(self.held.problem):
                self._replace_damaged(memory=self.held.rows())

    def _file_identity(self) -> tuple | None:
        try:
            stat = os.stat(self.path)
        except FileNotFoundError:
            return None
        return stat.st_dev, stat.st_ino

    def _let_go(self):
        """Closes every connection to the file.  The last close checkpoints into the file and
        removes its -wal and -shm, but not when the file was deleted or moved away meanwhile: then
        they stay at the path, where SQLite would apply them to the next file of that name, so
        they go here."""
        had_open = self._conn is not None
        if self._conn is not None:
            self._conn.close()
            self._conn = None
        had_open = self.held.close() or had_open
        if had_open and self._identity is not None and self._file_identity() != self._identity:
            files.move_sidecars(self.path, None)

    def _rows_of_open_file(self, fallback: list[tuple]) -> list[tuple]:
        """Every message of the file the writer has open (it still reads a file deleted or replaced
        meanwhile); `fallback` when it cannot be read."""
        try:
            return self._conn.execute(f"{files.SELECT_ROWS} ORDER BY id").fetchall()
        except (AttributeError, sqlite3.Error):
            return fallback

    def _restore_deleted(self):
        rows = _by_id(self.held.rows(), self._rows_of_open_file([]))  # the file's own copy wins
        self._let_go()
        self._write(rows)
        self._note(f"消息数据库文件在运行中被删除，已重新建立并写回 {len(rows)} 条消息。",
                   f"{self.path.name} was deleted while running; written again with {len(rows)} messages")

    def _adopt_replacement(self):
        ours = self._rows_of_open_file(self.held.rows())
        self._let_go()
        if self._connect_or_replace(memory=ours) != "opened":
            return
        missing = ours
        try:
            present = {r[1:7] for r in self._conn.execute(files.SELECT_ROWS)}
            missing = [r for r in ours if r[1:7] not in present]
            self._conn.execute("BEGIN IMMEDIATE")
            self._conn.executemany(files.INSERT_MESSAGE, [r[1:] for r in missing])
            if ours:
                self._conn.execute(files.MARK_FIRST_CAPTURE, (self._now().isoformat(timespec="seconds"),))
            self._conn.execute("COMMIT")
        except sqlite3.Error as error:
            if files.is_damage(error):
                self._replace_damaged(memory=ours)  # letting go of the file rolls back
                return
            self._write_failed(error, len(missing), "adding the messages the new file lacks")
            done = f"但没能补回新文件里没有的 {len(missing)} 条消息", f"{len(missing)} messages could not be added"
        else:
            self._first_capture = self._first_capture or bool(ours)
            done = f"并补回了 {len(missing)} 条新文件里没有的消息", f"{len(missing)} messages added to the new file"
        self.held.reload()
        self._note(f"消息数据库文件在运行中被替换，已改用新文件，{done[0]}。",
                   f"{self.path.name} was replaced while running; {done[1]}")

    def _replace_damaged(self, memory: list[tuple]):
        files.mark_captured(self.path)  # what it held is unknown: from now on never the demo
        salvaged, first = files.salvage(self.path) if self.path.exists() else ([], None)
        rows = _by_id(salvaged, memory)  # what was read before the damage is the better copy
        self._let_go()
        aside = files.set_aside(self.path, self._now()) if self.path.exists() else None
        self._write(rows, first)
        where = f"，损坏的文件另存为 {aside.name}" if aside else ""
        self._note(f"消息数据库文件已损坏：已把还能读出的 {len(rows)} 条消息移到新建的数据库{where}；"
                   "其余读不出的消息已丢失。",
                   f"{self.path.name} was damaged; {len(rows)} messages moved into a new file")

    def _write(self, rows: list[tuple], first: str | None = None):
        """Writes `rows` into a new file at the path, in place of one that existed, and opens it for
        writing.  It keeps saying that messages were captured, so the demo never stands in for them."""
        first = first or self._now().isoformat(timespec="seconds")
        try:
            files.write_fresh(self.path, rows, first)
            self._conn = self._connect_writer()
        except (OSError, sqlite3.Error) as error:
            self._fail_open(error)
        self.held.reload()

    def _note(self, text: str, line: str):
        self._notes.append(text)
        del self._notes[:-5]
        self._log(f"msgrelay: {line}")

    # -- reading -----------------------------------------------------------------------------------
    def refresh(self) -> HeldMessages:
        """The held messages, brought up to date with the file."""
        if self.writable:
            self.check_file()
        self.held.sync()
        return self.held

    def has_real_data(self) -> bool:
        """True from the first captured message on, even after every message has been purged, and
        whenever a database exists that cannot be read, and once messages were stored in this folder
        (a mark beside the file), whatever became of the file: the demo never stands in for real
        messages."""
        held = self.refresh()
        if held.first_capture or len(held) or self._first_capture or files.was_captured(self.path):
            return True
        return self.path.exists() and (held.problem is not None or self._failure is not None
                                       or (self.writable and self._conn is None))

    def since(self, cutoff: dt.datetime) -> EventList:
        """Messages captured at or after cutoff, newest first."""
        return self.refresh().since(cutoff.timestamp())

    def stats(self, chat_target: str, cutoff: dt.datetime) -> ClientStats:
        count, latest = self.refresh().stats(chat_target, cutoff.timestamp())
        return ClientStats(count, latest)

    def last_in_chat(self, chat_target: str, session_name: str) -> Event | None:
        """The chat's newest message as of the last read (the file is read once if it never was):
        cheap enough for every notification, which knows what it stored itself since."""
        if self.held.generation == 0 and self.held.version == 0:
            self.refresh()
        return self.held.last_in_chat(chat_target, session_name)

    def health(self) -> StorageHealth:
        problem, action = self._failure or (None, "")
        if problem is None and self.held.problem is not None:
            problem, action = f"读取 {self.path} 时出错（{self.held.problem}）", RETRYING
        return StorageHealth(problem, action, tuple(self._notes), self._unsaved)

    # -- writing -----------------------------------------------------------------------------------
    def insert(self, message: NewMessage) -> int | None:
        """Stores one message and returns its id; None when it was not saved (counted, unless
        another core writes the database)."""
        if not self.writable:
            if self.locked_by is None:
                self._unsaved += 1
            return None
        self.check_file()  # a deleted or replaced file refuses writes: mend it first
        values = (message.at.timestamp(), message.chat_target, message.session_name, message.session_kind,
                  message.sender_name, message.content, message.content_type, message.app, message.path)
        if self._sorter is not None:
            values += tuple(self._sorter.row(Event(0, message.chat_target, message.session_name, message.session_kind,
                                                   message.sender_name, message.at, message.content,
                                                   message.content_type)))
        with self._write_lock:
            if self._conn is None:
                self._unsaved += 1
                return None
            try:
                if self._first_capture:
                    number = self._conn.execute(self._insert_sql, values).lastrowid
                else:
                    self._conn.execute("BEGIN IMMEDIATE")
                    number = self._conn.execute(self._insert_sql, values).lastrowid
                    self._conn.execute(files.MARK_FIRST_CAPTURE, (message.at.isoformat(timespec="seconds"),))
                    self._conn.execute("COMMIT")
                    self._first_capture = True
                    files.mark_captured(self.path)
            except sqlite3.Error as error:
                self._write_failed(error, 1, "storing a message")
                if files.is_damage(error):
                    self._replace_damaged(memory=self.held.rows())
                return None
            if self._failure is not None:
                self._log(f"msgrelay: {self.path.name} takes messages again")
                self._failure = self._reopen_at = None
        return number

    def save_sortings(self, rows: list[tuple]) -> bool:
        """Writes sortings made again in one transaction (each row: the values of the sorter's
        columns, then the message's id); False when they were not written (made again at the next
        start)."""
        with self._write_lock:
            if not self._extra or not self.writable or self._conn is None:
                return False
            try:
                self._conn.execute("BEGIN IMMEDIATE")
                self._conn.executemany(files.update_extra(self._extra), rows)
                self._conn.execute("COMMIT")
                return True
            except sqlite3.Error as error:
                self._log(f"msgrelay: saving sortings in {self.path.name} failed: {error}")
                if self._conn.in_transaction:
                    try:
                        self._conn.execute("ROLLBACK")
                    except sqlite3.Error:
                        pass
                return False

    def _write_failed(self, error: sqlite3.Error, unsaved: int, doing: str):
        """Rolls back a write that failed, counts the messages it leaves unsaved and keeps the reason."""
        if self._conn.in_transaction:
            try:
                self._conn.execute("ROLLBACK")
            except sqlite3.Error:
                pass
        self._unsaved += unsaved
        text = _describe(error, self.path)
        if text != self._failure:
            self._log(f"msgrelay: {doing} in {self.path.name} failed: {error}")
        self._failure = text
        if getattr(error, "sqlite_errorname", "").startswith("SQLITE_READONLY") and self._reopen_at is None:
            self._reopen_at = time.monotonic()

    def purge(self, now: dt.datetime, retention: dt.timedelta = RETENTION) -> int:
        """Deletes messages captured before now - retention (a few hundred per transaction) and
        gives the space back once a large part of the file is free; returns how many went."""
        cutoff = (now - retention).timestamp()
        removed = 0
        while True:
            with self._write_lock:
                if self._conn is None or not self.writable:
                    return removed
                try:
                    count = self._conn.execute(
                        "DELETE FROM messages WHERE id IN (SELECT id FROM messages WHERE captured_at < ? LIMIT ?)",
                        (cutoff, PURGE_CHUNK)).rowcount
                except sqlite3.Error as error:
                    self._log(f"msgrelay: purging {self.path.name} failed: {error}")
                    return removed
            removed += max(count, 0)
            if count < PURGE_CHUNK:
                break
        if removed:
            self._shrink()
        for aside in self.path.parent.glob(f"{DB_NAME}.damaged-*"):  # set aside files age out too
            try:
                if aside.stat().st_mtime < cutoff:
                    aside.unlink()
            except OSError:
                pass
        return removed

    def _shrink(self):
        """Once a large part of the file is free, gives all of it back, a few pages per transaction."""
        started = False
        while True:
            with self._write_lock:
                if self._conn is None:
                    return
                try:
                    free = self._conn.execute("PRAGMA freelist_count").fetchone()[0]
                    pages = self._conn.execute("PRAGMA page_count").fetchone()[0]
                    if not free or (not started and free * SHRINK_SHARE < pages):
                        self._conn.execute("PRAGMA wal_checkpoint(TRUNCATE)")
                        return
                    started = True
                    self._conn.execute(f"PRAGMA incremental_vacuum({SHRINK_CHUNK})").fetchall()
                except sqlite3.Error as error:
                    self._log(f"msgrelay: shrinking {self.path.name} failed: {error}")
                    return
