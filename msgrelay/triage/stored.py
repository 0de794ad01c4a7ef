"""A message's sorting as it is stored beside the message: one column per field of Sorting, and the
key of the rules and the profile it was made with.

The columns follow `dataclasses.fields(Sorting)`, so a field added to Sorting is stored without
more code: a flag as 0/1, a tuple or list as JSON, a number or text as it is.  The rules' version is
a hash of the sources of the sorting rules (sorting.py and the modules of this package it imports),
read once at start: a changed rule makes every stored sorting stale, and the core sorts again.
"""

from __future__ import annotations

import dataclasses
import hashlib
import json
import pathlib
import re
import sys
import threading

from .sorting import Profile, Sorting, sort_message

KEY_COLUMN = "sorted_for"
_FIELDS = tuple(f for f in dataclasses.fields(Sorting) if f.init)  # what a Sorting is made from
COLUMNS = (KEY_COLUMN,) + tuple(f"sort_{f.name}" for f in _FIELDS)
_HERE = pathlib.Path(__file__).resolve().parent


def _default(field: dataclasses.Field):
    if field.default is not dataclasses.MISSING:
        return field.default
    if field.default_factory is not dataclasses.MISSING:
        return field.default_factory()
    return None


_DEFAULTS = tuple(_default(f) for f in _FIELDS)


def _encode_value(value):
    if isinstance(value, bool):
        return int(value)
    if isinstance(value, (tuple, list, dict)):
        return json.dumps(value, ensure_ascii=False)
    return value


def _decode_value(value, default):
    if value is None:
        return default
    if isinstance(default, bool):
        return bool(value)
    if isinstance(default, (tuple, list, dict)):
        loaded = json.loads(value)
        return type(default)(loaded) if isinstance(default, (tuple, list)) else loaded
    return value


def encode(sorting: Sorting) -> tuple:
    """The column values of a sorting, in COLUMNS order after the key."""
    return tuple(_encode_value(getattr(sorting, f.name)) for f in _FIELDS)


_interned: dict[tuple, Sorting] = {}
_interning = threading.Lock()


def decode(values: tuple) -> Sorting:
    """The sorting of stored column values; equal ones share one object (a week holds few kinds)."""
    found = _interned.get(values)
    if found is None:
        found = Sorting(**{f.name: _decode_value(v, d) for f, v, d in zip(_FIELDS, values, _DEFAULTS)})
        with _interning:
            if len(_interned) > 100_000:
                _interned.clear()
            found = _interned.setdefault(values, found)
    return found


def intern(sorting: Sorting) -> Sorting:
    return decode(encode(sorting))


_RELATIVE_IMPORT = re.compile(r"^from \.(\w*) import (\([^)]*\)|[^\n]*)", re.M)


def rule_sources() -> list[pathlib.Path]:
    """sorting.py and every module of this package it imports, directly or through another."""
    found, todo = [], [_HERE / "sorting.py"]
    while todo:
        path = todo.pop()
        if path in found or not path.is_file():
            continue
        found.append(path)
        for module, names in _RELATIVE_IMPORT.findall(path.read_text(encoding="utf-8")):
            modules = [module] if module else re.findall(r"\w+", names.split("#")[0])
            todo += [_HERE / f"{name}.py" for name in modules]
    return sorted(found)


def _rules_version() -> str:
    digest = hashlib.sha256()
    for path in rule_sources():
        digest.update(path.name.encode() + b"\0" + path.read_bytes() + b"\0")
    return digest.hexdigest()[:16]


RULES_VERSION = _rules_version()


def key_of(profile: Profile) -> str:
    """What a sorting depends on besides the message: the rules and the user's profile."""
    parts = json.dumps([RULES_VERSION, list(profile.names), list(profile.keywords)], ensure_ascii=False)
    return hashlib.sha256(parts.encode()).hexdigest()[:16]


class Sorter:
    """Sorts messages for the profile that `config()` describes: what the message database stores
    with each message, and how it reads it back."""

    columns = COLUMNS

    def __init__(self, config):
        self._config = config
        self._lock = threading.Lock()
        self._current: tuple[tuple, str, Profile] | None = None
        self._read: dict[tuple, tuple] = {}

    def current(self) -> tuple[str, Profile]:
        """(key, profile) of the configuration now."""
        profile = Profile.from_config(self._config())
        with self._lock:
            if self._current is None or self._current[0] != (profile.names, profile.keywords):
                self._current = ((profile.names, profile.keywords), key_of(profile), profile)
            return self._current[1], self._current[2]

    def row(self, event) -> tuple:
        """The values of `columns` for a message about to be stored."""
        key, profile = self.current()
        return (key,) + encode(sort_message(event, profile))

    def read(self, values: tuple) -> tuple[str | None, Sorting | None]:
        """(key, sorting) of stored values; (None, None) for a message never sorted.  Equal values
        (a week holds few kinds) are read once."""
        found = self._read.get(values)
        if found is None:
            found = (None, None) if values[0] is None else (sys.intern(values[0]), decode(values[1:]))
            if len(self._read) > 100_000:
                self._read.clear()
            self._read[values] = found
        return found
