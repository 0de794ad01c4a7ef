"""Who the user is, as far as sorting goes: the names and the forms by which others address them."""

from __future__ import annotations

import dataclasses
import re

from . import words
from .pinyin import syllables

_ALIAS_SEPARATORS = re.compile(r"[\n,，、]")


def _address_forms(name: str) -> list[str]:
    """Forms by which people address a person with this Chinese name: 李工, 小李, 老李, 明哥."""
    if not (2 <= len(name) <= 4) or not all("\u4e00" <= c <= "\u9fff" for c in name):  # Chinese names only
        return []
    cut = 2 if len(name) >= 3 and name[:2] in words.COMPOUND_SURNAMES else 1
    surname, given = name[:cut], name[cut:]
    forms = [surname + title for title in words.SURNAME_TITLES]
    forms += [prefix + surname for prefix in words.SURNAME_PREFIXES]
    forms += [given[-1] + title for title in words.GIVEN_NAME_TITLES]
    if len(given) == 2:
        forms.append(given)
    return forms + _latin_forms(surname, given)


def _latin_forms(surname: str, given: str) -> list[str]:
    """The full name in Latin letters, in either order: "Li Ming", "Ming Li", "LiMing"."""
    family, own = "".join(syllables(surname)), "".join(syllables(given))
    return [f"{family} {own}", f"{own} {family}", family + own] if family and own else []


def _greeting(name: str) -> re.Pattern | None:
    """The given name alone in Latin letters as it opens an English message: "Ming, …", "Hi Ming …"."""
    given = "".join(syllables(name[2 if name[:2] in words.COMPOUND_SURNAMES else 1:])) if 2 <= len(name) <= 4 else ""
    if not given:
        return None
    return re.compile(rf"^\s*(?:{words.ENGLISH_GREETINGS}\s*,?\s*)?{given}\b\s*[,，:：!！]?", re.I)


def name_pattern(names) -> re.Pattern | None:
    """The names as whole words: "Leo" not in "Leon", "李明" not in "李明辉" (see words.NAME_FOLLOWERS)."""
    parts = []
    for name in sorted(set(names), key=len, reverse=True):
        escaped = re.escape(name)
        # the look-behind after the first letter lets the engine skip ahead to that letter
        if name.isascii() and name[0].isalpha():
            parts.append(rf"{escaped[0]}(?<![A-Za-z]{escaped[0]}){escaped[1:]}(?![A-Za-z])")
            continue
        parts.append(rf"(?<![A-Za-z]){escaped}(?![A-Za-z])" if name.isascii()
                     else rf"{escaped}(?=$|[^\u4e00-\u9fff]|[{words.NAME_FOLLOWERS}]|{'|'.join(words.NAME_FOLLOWING_WORDS)})")
    return re.compile("|".join(parts), re.I) if parts else None


@dataclasses.dataclass(frozen=True)
class Profile:
    """Who the user is, as far as sorting goes: name and aliases, and the keywords that mark work.
    `forms` (derived from the names) are how others address the user: 李工, 小李, 明哥."""

    names: tuple[str, ...] = ()
    keywords: tuple[str, ...] = ()
    forms: tuple[str, ...] = dataclasses.field(init=False, default=())
    engineer: str = dataclasses.field(init=False, default="")  # how customers address the user: 李工
    _pattern: re.Pattern | None = dataclasses.field(init=False, default=None, repr=False, compare=False)
    _keywords: re.Pattern | None = dataclasses.field(init=False, default=None, repr=False, compare=False)
    _latin: re.Pattern | None = dataclasses.field(init=False, default=None, repr=False, compare=False)
    _latin_guard: re.Pattern | None = dataclasses.field(init=False, default=None, repr=False, compare=False)
    _endings: tuple[str, ...] = dataclasses.field(init=False, default=(), repr=False, compare=False)
    _latin_seen: tuple = dataclasses.field(init=False, default=(None, False), repr=False, compare=False)
    _greeting: re.Pattern | None = dataclasses.field(init=False, default=None, repr=False, compare=False)

    def __post_init__(self):
        # the forms come from the display name (the first name); an alias such as 明哥 is a form already
        derived = _address_forms(self.names[0]) if self.names else []
        object.__setattr__(self, "forms", tuple(f for f in derived if f not in self.names))
        object.__setattr__(self, "engineer", next((f for f in derived if f.endswith("工")), ""))
        # names in Latin letters are searched apart, only in a text that holds one: the Chinese ones'
        # pattern stays one the engine can skip through quickly
        every = self.names + self.forms
        latin = tuple(n for n in every if n.isascii())
        object.__setattr__(self, "_pattern", name_pattern(n for n in every if not n.isascii()))
        object.__setattr__(self, "_latin", name_pattern(latin))
        guard = re.compile("|".join(re.escape(n.lower()) for n in latin)) if latin else None
        object.__setattr__(self, "_latin_guard", guard)
        object.__setattr__(self, "_endings", tuple(n.lower() for n in every))
        object.__setattr__(self, "_greeting", _greeting(self.names[0]) if self.names else None)
        kws = [k for k in self.keywords if k.strip()]
        object.__setattr__(self, "_keywords", re.compile("|".join(map(re.escape, kws)), re.I) if kws else None)

    @classmethod
    def from_config(cls, config: dict) -> "Profile":
        profile = config.get("user_profile", {})
        raw = [profile.get("display_name", "")] + list(profile.get("aliases", []))
        names: list[str] = []
        for entry in (n for n in raw if isinstance(n, str)):
            for name in (n.strip() for n in _ALIAS_SEPARATORS.split(entry)):  # also "小李,明哥" stored earlier
                if name and name not in names:
                    names.append(name)
        keywords = tuple(k for k in config.get("notification_keywords", []) if isinstance(k, str) and k)
        return cls(tuple(names), keywords)

    def find(self, text: str, start: int = 0):
        hit = self._pattern.search(text, start) if self._pattern else None
        latin = self._latin_find(text, start)
        return latin if latin and (not hit or latin.start() < hit.start()) else hit

    def _latin_find(self, text: str, start: int = 0):
        # a case-blind pattern is slow over Chinese text: look for the lower-cased names first, once a text
        if not self._latin_guard:
            return None
        seen, holds = self._latin_seen
        if seen is not text:
            holds = bool(self._latin_guard.search(text.lower()))
            object.__setattr__(self, "_latin_seen", (text, holds))
        return self._latin.search(text, start) if holds else None

    def _match(self, who: str):
        hit = self._pattern.match(who) if self._pattern else None
        return hit or (self._latin.match(who) if self._latin else None)

    def greeted(self, text: str) -> int:
        """Where a salutation by the given name in Latin letters ends ("Ming, can you…"), or 0."""
        first = text.lstrip()[:1]
        hit = self._greeting.match(text) if self._greeting and first.isascii() and first.isalpha() else None
        return hit.end() if hit else 0

    def closing(self, text: str) -> int:
        """Where the user's name starts when it closes the text ("…，谢谢李工"), or -1."""
        body = text.rstrip(words.CLOSING_TAIL)
        lower = body[-12:].lower()
        if not lower.endswith(self._endings):
            return -1
        return len(body) - max(len(n) for n in self._endings if lower.endswith(n))

    def mentioned(self, who: str) -> bool:
        """Whether an @ names the user: "@李明", "@李明你看下", not "@李明辉"."""
        hit = self._match(who)
        return bool(hit) and (hit.end() == len(who) or who[hit.end()] in words.AFTER_MENTION)

    def after_mention(self, who: str) -> str:
        """The text an @ of the user ran into: "你看下" of "@李明你看下"."""
        return who[self._match(who).end():] if self.mentioned(who) else ""

    def as_you(self, text: str) -> str:
        """The text with the user's names and forms put as 你: "…我转给李明" reads "…我转给你"."""
        text = self._pattern.sub("你", text) if self._pattern else text
        return self._latin.sub("你", text) if self._latin_find(text) else text

    def watched(self, text: str) -> bool:
        return bool(self._keywords and self._keywords.search(text))
