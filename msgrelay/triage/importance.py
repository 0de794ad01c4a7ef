"""Whether a message is one the user would want to see today even with nothing to do: rule 6 of
`sorting`'s description."""

from __future__ import annotations

import re
import typing

from . import words
from .address import Reading
from .meetings import RESCHEDULE
from .patterns import English, any_of, literal

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
_OUTAGE_ENGLISH = English(words.OUTAGE_ENGLISH)
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
_KIN = any_of(words.KIN)
_ALERT = literal(words.ALERT)
_APPROVAL = any_of(words.APPROVAL_FOR_ME)
_RECOVERED = literal(words.RECOVERED)
_AWAITED = any_of([words.DECISION_AWAITED, r"等\S{0,8}(定|决定)"])
_STANDBY = any_of(words.STANDBY)
_REPAIRING = any_of(words.REPAIRING)
_LEISURE = literal(words.LEISURE)
_PLANNED = literal(words.PLANNED)
_FAMILY_SEVERE = any_of(words.FAMILY_SEVERE)
_CHAT_MEETING = any_of(words.CHAT_MEETING)
_SETTLED = any_of(words.SETTLED)
_WORK_STOPPED = any_of(words.WORK_STOPPED)
_PROJECT_DECIDED = any_of(words.PROJECT_DECIDED)
_MILESTONE_MOVED = any_of(words.MILESTONE_MOVED)
_STAFF_LEAVING = any_of(words.STAFF_LEAVING)
_TOP_VISIT = any_of(words.TOP_VISIT)
_PROMOTION_REVIEW = any_of(words.PROMOTION_REVIEW)
_CONTRACT = any_of(words.CONTRACT)
_OWED = any_of([words.OWED])


class Weight(typing.NamedTuple):
    important: bool = False
    stakes: bool = False  # an escalation, an outage, a family emergency, money or a decision about the user's work
    emergency: bool = False  # a family emergency or an outage that is neither over nor planned: on fire now


def weigh(r: Reading, private: bool) -> Weight:
    """Rule 6 of `sorting`'s description.  What is at stake comes before routine matters in the lists.
    private: a chat of the user's private life, where an hour ("六点前去接孩子") is no deadline that
    matters."""
    if r.own:
        return Weight()
    text = r.text
    outage = r.outage
    emergency = (outage and not _PLANNED.search(text)) \
        or (not r.automated and _family_emergency(text, private and r.address.me))
    if outage or emergency or _at_stake(r):
        return Weight(True, True, emergency)
    return Weight(_routine(r, private))


def _at_stake(r: Reading) -> bool:
    text = r.text
    if r.automated:
        if r.address.named and _ALERT.search(text) and not _RECOVERED.search(text) and not _LOW_SEVERITY.search(text):
            return True  # an alert on the user's system
    elif (r.senior and not r.meeting and _SENIOR_DECISION.search(text)) \
            or (_DECISION.search(text) and not _AWAITED.search(text) and not _LEISURE.search(text)) \
            or (not r.meeting and _MILESTONE_MOVED.search(text)) or _PROJECT_DECIDED.search(text) \
            or (r.address.me and (_STAFF_LEAVING.search(text) or _TOP_VISIT.search(text))):
        return True
    if (r.address.me or (r.automated and r.meeting)) and _PROMOTION_REVIEW.search(text):
        return True  # the user's own promotion reviewed (a calendar only tells invitees)
    if r.address.other:
        return False  # money and escalations between others ("@吴建华 延期要按合同扣违约金")
    about = r.profile.as_you(text) if r.address.named else text  # "部门推荐了李明" reads "推荐了你"
    return bool(_MONEY_DECISION.search(text) or (_ESCALATION.search(text) and not _SETTLED.search(text))
                or _CAREER.search(about) or _SALARY.search(text))


def _routine(r: Reading, private: bool) -> bool:
    text = r.text
    if r.todo:
        relaxed = bool(_RELAXED.search(text))
        if r.address.everyone or not r.address.me:
            # a group's chore matters for a release only, or with a sanction
            if _STANDBY.search(text):
                return True
        elif ((_PRIVATE_URGENT if private else _URGENT).search(text) and not relaxed) \
                or r.address.assigned or (r.senior and not r.question_only and not relaxed):
            return True
    if r.automated:  # an approval waiting for the user, a bill of theirs
        return bool(_APPROVAL.search(text)) or (r.todo and r.address.owner and "审批" in text) \
            or (bool(_OWED.search(text)) and r.follow_up)
    if r.todo and r.address.me and _CONTRACT.search(text):
        return True  # a contract or a price to see to
    if r.address.me and not r.follow_up and _MONEY.search(text) and not _MONEY_SETTLED.search(text):
        return True
    if r.meeting and not r.address.everyone and (_TOP_LEVEL.search(text) or (
            r.senior and not RESCHEDULE.search(text) and not (r.direct and _CHAT_MEETING.search(text)))):
        return True
    return bool(_PENALTY.search(text))


def _family_emergency(text: str, private_to_me: bool) -> bool:
    if not _FAMILY.search(text) or _ROUTINE_CARE.search(text):
        return False
    return bool(_KIN.search(text)) or (private_to_me and bool(_FAMILY_SEVERE.search(text)))


def is_outage(text: str) -> bool:
    """Production failing or work stopped; a short planned window, or a repair under way, only when it
    touches the business; a whole team's work stopped, wherever."""
    if _WORK_STOPPED.search(text):
        return True
    if (_PLANNED_WINDOW.search(text) or _REPAIRING.search(text)) and not _BUSINESS.search(text):
        return False
    return bool(_OUTAGE.search(text) or _OUTAGE_ENGLISH.search(text)) and not _NOT_OUTAGE.search(text)
