"""Opens razo at a message: `razo --show-message ID`, which starts razo or hands over to the one
that runs.

razo's launcher names its own executable in the core's environment (RAZO_EXECUTABLE); a core
started otherwise (at login, by hand) finds `razo` on its PATH.
"""

from __future__ import annotations

import os
import shutil
import subprocess
import threading

EXECUTABLE_VARIABLE = "RAZO_EXECUTABLE"
TOKEN_VARIABLE = "XDG_ACTIVATION_TOKEN"


def razo_executable(environ) -> str | None:
    given = environ.get(EXECUTABLE_VARIABLE, "")
    if os.path.isabs(given) and os.path.isfile(given) and os.access(given, os.X_OK):
        return given
    return shutil.which("razo", path=environ.get("PATH") or os.defpath)


class Opener:
    def __init__(self, environ=None, log=print):
        self._environ = dict(os.environ if environ is None else environ)
        self._log = log

    def __call__(self, message_id: int, activation_token: str | None = None) -> bool:
        executable = razo_executable(self._environ)
        if executable is None:
            self._log(f"msgrelay: cannot open razo from a notification: no {EXECUTABLE_VARIABLE} "
                      "and no razo on PATH")
            return False
        environ = dict(self._environ)
        environ.pop(TOKEN_VARIABLE, None)
        if activation_token:  # lets the desktop hand the focus to razo's window
            environ[TOKEN_VARIABLE] = activation_token
        try:
            child = subprocess.Popen([executable, "--show-message", str(message_id)], env=environ,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True)
        except OSError as error:
            self._log(f"msgrelay: cannot start {executable}: {error.strerror or error}")
            return False
        threading.Thread(target=child.wait, daemon=True).start()  # reap it whenever it ends
        return True
