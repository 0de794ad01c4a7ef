"""Whether this user's core starts at login, so that messages are read while razo is closed.

razo's switch “登录后在后台读取消息” turns on one of two things in the user's own configuration:
the systemd user unit (a link to it in a ``*.wants`` folder of the user's systemd configuration,
or of the administrator's for every user) or, where the desktop has no systemd user manager,
razo's XDG autostart entry.  Only their presence is looked at; nothing is started or changed.
"""

from __future__ import annotations

import os
import pathlib
import re

UNIT = "razo-core.service"
AUTOSTART_ENTRY = "org.razo.Razo.Core.desktop"
SYSTEM_UNIT_FOLDERS = ("/etc/systemd/user",)  # `systemctl --global enable` links here

_HIDDEN = re.compile(r"^\s*Hidden\s*=\s*true\s*$", re.MULTILINE)


def config_home(environ) -> pathlib.Path:
    configured = environ.get("XDG_CONFIG_HOME", "")
    if os.path.isabs(configured):
        return pathlib.Path(configured)
    return pathlib.Path(environ.get("HOME") or pathlib.Path.home()) / ".config"


def enabled(environ=None, system_folders=SYSTEM_UNIT_FOLDERS) -> bool:
    """True when the unit is enabled for this user or the autostart entry is in place (and not hidden)."""
    home = config_home(os.environ if environ is None else environ)
    for folder in (home / "systemd" / "user", *map(pathlib.Path, system_folders)):
        try:  # the link is what enables it (lexists: also while its target is being replaced)
            if any(os.path.lexists(wants / UNIT) for wants in folder.glob("*.wants")):
                return True
        except OSError:
            pass
    try:
        text = (home / "autostart" / AUTOSTART_ENTRY).read_text(encoding="utf-8", errors="replace")
    except OSError:
        return False
    return not _HIDDEN.search(text)
