"""The core's log: one line at a time to standard output, which razo's launcher and the start at
login append to native-core.log.  Every line has its control characters escaped.

The log is capped where it is written, by the core itself, because a core may run for weeks and
only the writer sees the file grow: once the file on standard output passes `cap` bytes it is
renamed with ".1" added (replacing the older one) and a new file, readable by the user alone,
takes its place on standard output and standard error.  So the log never holds much more than
twice the cap.  Only a plain file whose name ends in ".log" is rotated: never a terminal, a pipe
or the journal, nor whatever file someone pointed the output at by hand.
"""

from __future__ import annotations

import os
import stat
import sys
import threading

from .journal import printable

CAP = 5 * 1024 * 1024
CHECK_EVERY = 64 * 1024  # bytes written between two looks at the file's size


class RotatingOutput:
    """Thread-safe; `stream` writes to descriptor `fd` (and `also`, standard error, when it is the
    same file)."""

    def __init__(self, stream=None, fd: int = 1, also: int | None = 2, cap: int = CAP, check_every: int = CHECK_EVERY):
        self._given = stream
        self._fd = fd
        self._also = also
        self._cap = cap
        self._check_every = check_every
        self._written = 0
        self._lock = threading.Lock()

    @property
    def _stream(self):
        return self._given or sys.stdout

    def write(self, line: str) -> None:
        """One line, written whole; a full disk or a closed log never stops the core."""
        text = printable(line) + "\n"
        try:
            with self._lock:
                self._stream.write(text)
                self._stream.flush()
                self._written += len(text.encode("utf-8", "replace"))
                if self._written >= self._check_every:
                    self._written = 0
                    self._rotate_if_full()
        except (OSError, ValueError):
            pass

    def _path(self) -> str | None:
        """The plain file on the descriptor, when its name still leads to it without a link."""
        try:
            held = os.fstat(self._fd)
            path = os.readlink(f"/proc/self/fd/{self._fd}")
            named = os.lstat(path)
        except OSError:
            return None
        if not stat.S_ISREG(held.st_mode) or not path.startswith("/") or not path.endswith(".log"):
            return None
        return path if (named.st_dev, named.st_ino) == (held.st_dev, held.st_ino) else None

    def _rotate_if_full(self) -> None:
        if os.fstat(self._fd).st_size < self._cap:
            return
        path = self._path()
        if path is None:
            return
        same = self._also is not None and _same_file(self._fd, self._also)
        os.replace(path, path + ".1")
        fresh = os.open(path, os.O_WRONLY | os.O_APPEND | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW | os.O_CLOEXEC, 0o600)
        try:
            os.dup2(fresh, self._fd)
            if same:
                os.dup2(fresh, self._also)
        finally:
            os.close(fresh)
        name = os.path.basename(path)
        self._stream.write(f"msgrelay: {name} reached {self._cap // (1024 * 1024)} MB; "
                           f"the lines before are in {name}.1\n")
        self._stream.flush()


def _same_file(one: int, other: int) -> bool:
    try:
        a, b = os.fstat(one), os.fstat(other)
    except OSError:
        return False
    return (a.st_dev, a.st_ino) == (b.st_dev, b.st_ino)
