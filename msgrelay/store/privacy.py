"""The core's folder and files are the user's alone, whatever an older version (or a copy made by
hand) left: at start the folder loses every access by group and others (0700) and so does each of
the core's files (0600 for a file the user may read and write).  A file the user made read-only
stays read-only.

A symbolic link in place of one of those files is never followed: this module only says so in
the log, and each owner of a file refuses it in its own way (the configuration is not read and
the next save puts a plain file in its place, the database and its lock are not opened, so no
message is captured until the link is gone, a -wal or -shm link is removed before SQLite could
follow it, the log is not rotated through it).
"""

from __future__ import annotations

import os
import pathlib
import stat

PRIVATE_FILES = ("msgrelay.db", "msgrelay.db-wal", "msgrelay.db-shm", "msgrelay.db.lock", "msgrelay.db.captured",
                 "native-core.log", "native-core.log.1")
_OPEN_NO_LINK = os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC


def private_mode(mode: int) -> int:
    return stat.S_IMODE(mode) & 0o700


def is_link(path: pathlib.Path) -> bool:
    try:
        return stat.S_ISLNK(os.lstat(path).st_mode)
    except OSError:
        return False


def keep_private(path: pathlib.Path) -> bool:
    """Takes group and other access away from a plain file without following a link; False when
    the path is a link (or not a plain file), True otherwise (also when there is nothing)."""
    try:
        fd = os.open(path, _OPEN_NO_LINK)
    except FileNotFoundError:
        return True
    except OSError:
        return not is_link(path)  # ELOOP: a link; anything else (no permission) is not ours to judge
    try:
        info = os.fstat(fd)
        if not stat.S_ISREG(info.st_mode):
            return False
        if info.st_mode & 0o077 and info.st_uid == os.geteuid():
            os.fchmod(fd, private_mode(info.st_mode))
        return True
    finally:
        os.close(fd)


def secure_folder(folder: pathlib.Path, names: tuple[str, ...], log=print) -> None:
    """The start-up pass over the folder (created 0700 when missing) and the named files in it."""
    try:
        folder.mkdir(mode=0o700, parents=True, exist_ok=True)
        info = os.stat(folder)
        if info.st_uid != os.geteuid():
            log(f"msgrelay: {folder} belongs to uid {info.st_uid}, not to this account; its access is left as it is")
        elif info.st_mode & 0o077:
            os.chmod(folder, private_mode(info.st_mode))
            log(f"msgrelay: {folder} was open to other accounts (mode {stat.S_IMODE(info.st_mode):o}); now 700")
    except OSError as error:
        log(f"msgrelay: cannot make {folder} private: {error.strerror or error}")
    for name in names:
        path = folder / name
        try:
            before = stat.S_IMODE(os.lstat(path).st_mode)
        except OSError:
            continue
        if not keep_private(path):
            log(f"msgrelay: {path} is a symbolic link or not a plain file; refused, never followed")
        elif before & 0o077:
            now = stat.S_IMODE(os.lstat(path).st_mode)
            log(f"msgrelay: {name} was open to other accounts (mode {before:o}); now {now:o}")
