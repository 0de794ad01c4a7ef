"""The message database as files: schema and its versions, a fresh file from rows, salvage, set aside.

The schema version lives in the file (PRAGMA user_version).  Version 0 is the first schema (no
version set); version 1 keeps the same tables with incremental auto-vacuum, so that the file can
give back the space a purge frees.  Rows travel as tuples in ROW_COLUMNS order.

Beside its message, a row may carry what the core derived from it (its sorting): extra columns
named by the writer, added to an older file when missing (`add_columns`), NULL until written.
"""

from __future__ import annotations

import datetime as dt
import errno
import os
import pathlib
import sqlite3

from . import privacy

SCHEMA_VERSION = 1
ROW_COLUMNS = ("id", "captured_at", "chat_target", "session_name", "session_kind", "sender_name", "content",
               "content_type", "app", "path")
SELECT_ROWS = f"SELECT {', '.join(ROW_COLUMNS)} FROM messages"
INSERT_ROW = f"INSERT INTO messages ({', '.join(ROW_COLUMNS)}) VALUES ({', '.join('?' * len(ROW_COLUMNS))})"
INSERT_MESSAGE = (f"INSERT INTO messages ({', '.join(ROW_COLUMNS[1:])}) "
                  f"VALUES ({', '.join('?' * (len(ROW_COLUMNS) - 1))})")  # a new id
MARK_FIRST_CAPTURE = "INSERT OR IGNORE INTO meta (key, value) VALUES ('first_capture_at', ?)"  # kept once set
_TABLES = """
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
SIDECARS = ("-wal", "-shm")  # SQLite's files beside the database, found by the database's name
SALVAGE_CHUNK = 64
SALVAGE_MISSES = 4096  # unreadable chunks in a row after which a file of unknown size is done
CAPTURED_SUFFIX = ".captured"  # beside the database: messages were stored in this folder once
_ROW_TYPES = ((int,), (float, int)) + ((str,),) * 8  # what a readable row holds, column by column


def is_damage(error: BaseException) -> bool:
    """Whether SQLite says the file is no (intact) database, or a row holds text that is no text
    any more (an OSError, or None, never is damage)."""
    return isinstance(error, sqlite3.Error) and (
        getattr(error, "sqlite_errorname", "") in ("SQLITE_CORRUPT", "SQLITE_NOTADB")
        or "malformed" in str(error) or "not a database" in str(error) or "Could not decode" in str(error))


def create_private(path: pathlib.Path) -> None:
    """Creates an empty file readable only by the user (SQLite's -wal and -shm inherit the mode);
    a link at the path is not followed (OSError)."""
    os.close(os.open(path, os.O_RDWR | os.O_CREAT | os.O_NOFOLLOW | os.O_CLOEXEC, 0o600))


def refuse_link(path: pathlib.Path) -> None:
    """OSError when the path is a symbolic link: the database is never opened through one."""
    if privacy.is_link(path):
        raise OSError(errno.ELOOP, "这是一个符号链接，核心不会跟随它打开；请换成普通文件", str(path))


def keep_private(path: pathlib.Path) -> None:
    """Takes group and other access away; a file the user made read-only stays read-only.  SQLite's
    -wal and -shm follow the file (they were made read-only with it, and writable again with it);
    a link in place of one of them is removed (never its target), so SQLite makes its own."""
    refuse_link(path)
    mode = os.stat(path).st_mode & 0o777
    if mode & 0o077:
        mode &= 0o700
        os.chmod(path, mode)
    for suffix in SIDECARS:
        extra = path.with_name(path.name + suffix)
        try:
            if privacy.is_link(extra):
                extra.unlink()
            elif os.stat(extra).st_mode & 0o777 != mode:
                os.chmod(extra, mode)
        except OSError:
            pass


def captured_mark(path: pathlib.Path) -> pathlib.Path:
    return path.with_name(path.name + CAPTURED_SUFFIX)


def mark_captured(path: pathlib.Path) -> None:
    """Remembers, outside the database, that messages were stored at `path`: a file that is lost,
    damaged or emptied later never lets the demo data stand in for them."""
    mark = captured_mark(path)
    if os.path.lexists(mark):
        return
    try:
        create_private(mark)
    except OSError:
        pass


def was_captured(path: pathlib.Path) -> bool:
    return os.path.lexists(captured_mark(path))


def migrate(conn: sqlite3.Connection, extra: tuple[str, ...] = ()) -> None:
    """Brings a writable connection's file to SCHEMA_VERSION with the `extra` columns; a new file is
    created at that version."""
    version = conn.execute("PRAGMA user_version").fetchone()[0]
    if version >= SCHEMA_VERSION:
        conn.executescript(_TABLES)
        add_columns(conn, extra)
        return
    had_tables = conn.execute("SELECT COUNT(*) FROM sqlite_master WHERE name = 'messages'").fetchone()[0]
    conn.execute("PRAGMA auto_vacuum=INCREMENTAL")  # a new file takes it at once, an old one at VACUUM
    conn.executescript(_TABLES)
    add_columns(conn, extra)
    if had_tables:
        conn.execute("VACUUM")
    conn.execute(f"PRAGMA user_version={SCHEMA_VERSION}")


def columns_of(conn: sqlite3.Connection) -> set[str]:
    return {row[1] for row in conn.execute("PRAGMA table_info(messages)")}


def add_columns(conn: sqlite3.Connection, names: tuple[str, ...]) -> None:
    """Adds the columns the file lacks; the rows hold NULL there until they are written."""
    for name in (n for n in names if n not in columns_of(conn)):
        conn.execute(f'ALTER TABLE messages ADD COLUMN "{name}"')


def select_rows(extra: tuple[str, ...], present: set[str]) -> str:
    """SELECT_ROWS followed by the extra columns, NULL for those the file lacks."""
    more = "".join(f', "{name}"' if name in present else ", NULL" for name in extra)
    return f"SELECT {', '.join(ROW_COLUMNS)}{more} FROM messages"


def insert_message(extra: tuple[str, ...]) -> str:
    """INSERT_MESSAGE with the extra columns after the message's own."""
    names = list(ROW_COLUMNS[1:]) + [f'"{name}"' for name in extra]
    return f"INSERT INTO messages ({', '.join(names)}) VALUES ({', '.join('?' * len(names))})"


def update_extra(extra: tuple[str, ...]) -> str:
    """Writes the extra columns of one row: their values, then the id."""
    assignments = ", ".join(f'"{name}" = ?' for name in extra)
    return f"UPDATE messages SET {assignments} WHERE id = ?"


def write_fresh(path: pathlib.Path, rows, first_capture_at: str | None) -> None:
    """A new database file at `path` holding `rows` (ids kept), written aside and moved in place."""
    temporary = path.with_name(path.name + ".new")
    leftovers = (temporary, temporary.with_name(temporary.name + "-journal"))
    for leftover in leftovers:
        leftover.unlink(missing_ok=True)
    create_private(temporary)
    conn = sqlite3.connect(temporary, isolation_level=None)
    try:
        conn.execute("PRAGMA secure_delete=ON")
        migrate(conn)
        conn.execute("BEGIN")
        conn.executemany(INSERT_ROW, rows)
        if first_capture_at:
            conn.execute(MARK_FIRST_CAPTURE, (first_capture_at,))
        conn.execute("COMMIT")
    except BaseException:
        conn.close()
        for leftover in leftovers:
            leftover.unlink(missing_ok=True)
        raise
    conn.close()
    os.replace(temporary, path)


def set_aside(path: pathlib.Path, now: dt.datetime) -> pathlib.Path:
    """Moves a damaged file (and its -wal) out of the way; returns where the file went."""
    aside = path.with_name(f"{path.name}.damaged-{now.strftime('%Y%m%d-%H%M%S')}")
    os.replace(path, aside)
    move_sidecars(path, aside)
    return aside


def move_sidecars(path: pathlib.Path, to: pathlib.Path | None) -> None:
    """Moves the -wal and -shm of `path` beside `to`, or removes them when `to` is None."""
    for suffix in SIDECARS:
        extra = path.with_name(path.name + suffix)
        try:
            if to is None:
                extra.unlink()
            else:
                os.replace(extra, to.with_name(to.name + suffix))
        except FileNotFoundError:
            pass


def salvage(path: pathlib.Path) -> tuple[list[tuple], str | None]:
    """The rows that can still be read from a damaged file, and its first-capture mark.

    Walks the ids in chunks, finding the next id through the table itself (which skips purged
    ranges); a chunk that fails is read row by row and a range that cannot be reached is stepped
    over, so that one broken page costs only the rows on it."""
    conn = _open_damaged(path)
    if conn is None:
        return [], None
    rows: dict[int, tuple] = {}
    try:
        first = _read_one(conn, "SELECT value FROM meta WHERE key = 'first_capture_at'")
        top = _read_one(conn, "SELECT seq FROM sqlite_sequence WHERE name = 'messages'") or 0
        position, misses = 1, 0

        def one_by_one(start: int, end: int) -> int:
            held = len(rows)
            for number in range(start, end + 1):
                try:
                    rows.update((r[0], r) for r in conn.execute(f"{SELECT_ROWS} WHERE id = ?", (number,)))
                except sqlite3.Error:
                    pass
            return len(rows) - held

        while position <= top or (misses < SALVAGE_MISSES and position <= 2 ** 62):
            try:
                found = conn.execute("SELECT id FROM messages WHERE id >= ? ORDER BY id LIMIT 1", (position,)).fetchone()
            except sqlite3.Error:  # the way to the next id is broken: the rows of a known chunk may still be reachable
                end = position + SALVAGE_CHUNK - 1
                misses = 0 if position <= top and one_by_one(position, min(end, top)) else misses + 1
                position = end + 1
                continue
            if found is None:
                break
            end = found[0] + SALVAGE_CHUNK - 1
            try:
                chunk = conn.execute(f"{SELECT_ROWS} WHERE id BETWEEN ? AND ?", (found[0], end)).fetchall()
            except sqlite3.Error:
                one_by_one(found[0], end)
                position, misses = end + 1, 0
                continue
            ids = [r[0] for r in chunk if isinstance(r[0], int) and found[0] <= r[0] <= end]
            rows.update((r[0], r) for r in chunk if r[0] in ids)
            # a scan can end early at a broken page without an error: go on right after what it gave
            position, misses = (max(ids) + 1 if ids else end + 1), 0
    finally:
        conn.close()
    return [rows[k] for k in sorted(rows) if _well_formed(rows[k])], first


def _well_formed(row: tuple) -> bool:
    """Whether a row read from a damaged file holds a value of the right type in every column."""
    return len(row) == len(_ROW_TYPES) and all(isinstance(v, t) for v, t in zip(row, _ROW_TYPES))


def _open_damaged(path: pathlib.Path) -> sqlite3.Connection | None:
    """A read-only connection to a damaged file that sees its -wal, where the newest messages may
    be; the file alone when the -wal cannot be read."""
    for options in ("?mode=ro", "?mode=ro&immutable=1"):
        conn = None
        try:
            conn = sqlite3.connect(path.resolve().as_uri() + options, uri=True)
            conn.execute("PRAGMA writable_schema=ON")  # reads a file shorter than its header says
            conn.execute("PRAGMA user_version").fetchone()  # the first read, which opens the -wal
            return conn
        except sqlite3.Error:
            if conn is not None:
                conn.close()
    return None


def _read_one(conn: sqlite3.Connection, sql: str):
    try:
        row = conn.execute(sql).fetchone()
    except sqlite3.Error:
        return None
    return row[0] if row else None
