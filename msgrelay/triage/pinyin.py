"""How a Chinese name is written in Latin letters ("李明" → "Li Ming"), for English messages that
address the user by it.  The readings come from ICU's transliteration (Debian's python3-icu); without
it no such form is known and only the names as typed count.

ICU's data would stay in the core's memory for good (about 13 MB) to read the few names of one
profile, so a short-lived interpreter reads them, once per name part, and the answers are kept."""

from __future__ import annotations

import functools
import importlib.util
import os
import subprocess
import sys

_READ = ("import sys, icu\n"
         "latin = icu.Transliterator.createInstance('Han-Latin; Latin-ASCII')\n"
         "sys.stdout.write(latin.transliterate(sys.stdin.read()))\n")
TIMEOUT = 10.0  # seconds for the reading of one name part


@functools.lru_cache(maxsize=1)
def have_icu() -> bool:
    return importlib.util.find_spec("icu") is not None


def _transliterated(text: str) -> str | None:
    try:
        done = subprocess.run([sys.executable, "-c", _READ], input=text, capture_output=True, encoding="utf-8",
                              timeout=TIMEOUT, env=dict(os.environ, PYTHONIOENCODING="utf-8"), check=False)
    except (OSError, subprocess.SubprocessError):
        return None
    return done.stdout if done.returncode == 0 else None


@functools.lru_cache(maxsize=64)
def syllables(text: str) -> tuple[str, ...]:
    """The reading of each character, capitalised: "李明" → ("Li", "Ming"); () when unknown."""
    if not text or not have_icu():
        return ()
    latin = _transliterated(text)
    if latin is None:
        return ()
    found = tuple(s.capitalize() for s in latin.split())
    return found if len(found) == len(text) and all(s.isalpha() and s.isascii() for s in found) else ()
