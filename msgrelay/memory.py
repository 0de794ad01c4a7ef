"""Giving the memory the core has freed back to the system.

glibc keeps memory that was freed in its heap for later use, so after reading a large store or
sorting it again the core would go on occupying what it needed for a moment; `give_back` returns
the free parts (malloc_trim).  Elsewhere it does nothing.
"""

from __future__ import annotations

import ctypes
import ctypes.util


def _trim():
    try:
        return ctypes.CDLL(ctypes.util.find_library("c") or "libc.so.6").malloc_trim
    except (OSError, AttributeError):
        return None


_TRIM = _trim()


def give_back() -> None:
    if _TRIM is not None:
        _TRIM(0)
