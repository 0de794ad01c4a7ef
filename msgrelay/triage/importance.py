"""Whether a message is one the user would want to see today even with nothing to do: rule 6 of
`sorting`'s description."""

from __future__ import annotations

import re

from . import words
from .address import Reading
from .meetings import RESCHEDULE
from .patterns import any_of, literal

_URGENT = any_of(words.URGENT)
_PRIVATE_URGENT = any_of(words.PRIVATE_URGENT)
_RELAXED = literal(words.RELAXED)
_PENALTY = any_of(words.PENALTY)
_MONEY_SETTLED = any_of(words.MONEY_SETTLED)
_LOW_SEVERITY = re.compile(words.LOW_SEVERITY)
_NEAR = any_of(words.NEAR)
_MONEY = any_of(words.MONEY)
_MONEY_DECISION = any_of(words.MONEY_DECISION)
_ESCALATION = any_of(words.ESCALATION)
_OUTAGE = any_of(words.OUTAGE)
_NOT_OUTAGE = any_of(words.NOT_OUTAGE)
_PLANNED_WINDOW = re.compile(words.PLANNED_WINDOW)
_BUSINESS = literal(words.BUSINESS)
_DECISION = any_of(words.DECISION)
_SENIOR_DECISION = literal(words.SENIOR_DECISION)
_TOP_LEVEL = any_of(words.TOP_LEVEL)
_CAREER = any_of(words.CAREER)
_SALARY = any_of([words.SALARY])
_FAMILY = literal(words.FAMILY_EMERGENCY)
_ROUTINE_CARE = literal(words.ROUTINE_CARE)
_KIN = literal(words.KIN)
_ALERT = literal(words.ALERT)
_APPROVAL = any_of(words.APPROVAL_FOR_ME)
_RECOVERED = literal(words.RECOVERED)


def is_important(r: Reading, private: bool) -> bool:
    """Rule 6 of `sorting`'s description.  private: a chat of the user's private life, where an hour
    ("六点前去接孩子") is no deadline that matters."""
    text = r.text
    if r.own:
        return False
    if r.todo:
        # a group's duty counts today only; the user's own to-do when due soon, unless it can wait
        near = _NEAR if r.address.everyone or not r.address.me else _PRIVATE_URGENT if private else _URGENT
        relaxed = bool(_RELAXED.search(text))
        if (near.search(text) and not relaxed) or r.profile.watched(text) or r.address.assigned \
                or (r.senior and not r.question_only and not relaxed):
            return True
    if r.automated:
        if _APPROVAL.search(text) or (r.address.named and _ALERT.search(text) and not _RECOVERED.search(text)
                                      and not _LOW_SEVERITY.search(text)):
            return True
    elif (r.address.me and not r.follow_up and _MONEY.search(text) and not _MONEY_SETTLED.search(text)) \
            or (r.meeting and (_TOP_LEVEL.search(text) or (r.senior and not RESCHEDULE.search(text)))) \
            or (r.senior and not r.meeting and _SENIOR_DECISION.search(text)) \
            or (_FAMILY.search(text) and _KIN.search(text) and not _ROUTINE_CARE.search(text)) \
            or _DECISION.search(text) or _PENALTY.search(text):
        return True
    return any(p.search(text) for p in (_MONEY_DECISION, _ESCALATION, _CAREER, _SALARY)) or _is_outage(text)


def _is_outage(text: str) -> bool:
    if _PLANNED_WINDOW.search(text) and not _BUSINESS.search(text):
        return False
    return bool(_OUTAGE.search(text)) and not _NOT_OUTAGE.search(text)
