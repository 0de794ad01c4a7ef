"""How a Chinese name is written in Latin letters ("李明" → "Li Ming"), for English messages that
address the user by it.  The readings come from ICU's transliteration when PyICU is installed;
without it no such form is known and only the names as typed count."""

from __future__ import annotations

import functools

try:  # Debian's python3-icu
    import icu
except ImportError:  # pragma: no cover - the package is installed with razo
    icu = None


@functools.lru_cache(maxsize=1)
def _transliterator():
    return icu.Transliterator.createInstance("Han-Latin; Latin-ASCII") if icu else None


@functools.lru_cache(maxsize=64)
def syllables(text: str) -> tuple[str, ...]:
    """The reading of each character, capitalised: "李明" → ("Li", "Ming"); () when unknown."""
    latin = _transliterator()
    if latin is None:
        return ()
    found = tuple(s.capitalize() for s in latin.transliterate(text).split())
    return found if len(found) == len(text) and all(s.isalpha() and s.isascii() for s in found) else ()
