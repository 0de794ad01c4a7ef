"""Whether a message looks like a scam or phishing, by its shape rather than by known texts.

Shapes: money moved on the word of someone who cannot be checked (a boss on a new account, a friend
in distress), or to an account the message gives; a new account asking for secrecy or a sudden
favour; gains promised to whoever joins ("收益翻倍，带你一起赚"), paid small tasks ("点赞一单 3 元") or
a fee to pay before a job, loan or prize is given; a way out of the chat (a link, a bare
domain, a QR code, a customer service to add) together with bait (the bank card, a refund, subsidy
or prize, an account frozen or expiring, a payment; a credential under pressure: "今日过期，请立即
点击"); a request to hand over a secret (password, verification code), or card and identity data from
a sender named like a desk or department in a one-to-one chat.  Talking about a scam, or warning
against one, is none.
"""

from __future__ import annotations

import re

from ..demo_data import Event
from . import words
from .patterns import Either, English, Guarded, any_of, literal

_IMPERSONATION = any_of(words.IMPERSONATION)
_MONEY_URGENCY = any_of(words.MONEY_URGENCY)
_DISTRESS = any_of(words.DISTRESS)
_LURE = any_of(words.LURES)
_LINK = Either(any_of(words.LINK_ACTION), Guarded(re.compile(r"\.[a-z]"), re.compile(words.BARE_DOMAIN)))
_AMOUNT = any_of(words.AMOUNT)
_CONTACT = literal(words.CONTACT)
_QR_OR_AGENT = any_of(words.QR_OR_AGENT)
_BAIT = any_of(words.BAIT)
_CREDENTIAL_BAIT = Either(any_of(words.CREDENTIAL_BAIT), English(words.CREDENTIAL_BAIT_ENGLISH))
_PRESSURE = Either(any_of(words.PRESSURE), English(words.PRESSURE_ENGLISH))
_HAND_OVER = any_of(words.HAND_OVER)
_SECRET_ASKED = any_of(words.SECRET_ASKED)
_OFFICIAL = any_of(words.OFFICIAL_LOOKALIKE)
_SCAM_AWARE = literal(words.SCAM_AWARE)
_OWNER = literal(words.OWNER_LABELS)
_GAINS = any_of(words.PROMISED_GAINS)
_SECRECY = any_of(words.SECRECY)
_GIVEN_ACCOUNT = any_of(words.GIVEN_ACCOUNT)
_RECRUITING = any_of(words.RECRUITING)
_PAID_TASKS = any_of(words.PAID_TASKS)
_UPFRONT_FEE = any_of(words.UPFRONT_FEE)
_OPPORTUNITY = any_of(words.OPPORTUNITY)


def looks_official(event: Event) -> bool:
    """A one-to-one chat with a sender named like a desk, department or service, not a person."""
    return event.session_kind != "group" and bool(_OFFICIAL.search(event.sender_name.strip()))


def is_suspicious(event: Event, text: str) -> bool:
    if _SCAM_AWARE.search(text):
        return False  # talks about a scam, e.g. someone asks whether a text is one
    impersonation = _IMPERSONATION.search(text)
    if impersonation and _SECRECY.search(text):
        return True  # "我是高总，这是我私人微信，先别声张…有个急事要你帮忙"
    # money moved for someone who cannot be checked, or to an account the message gives ("转到这个账户：6217 …")
    if (impersonation or (_DISTRESS.search(text) and _AMOUNT.search(text))
            or (_GIVEN_ACCOUNT.search(text) and not _OWNER.search(text))) and _MONEY_URGENCY.search(text):
        return True
    way_out = bool(_LINK.search(text) or _QR_OR_AGENT.search(text))
    if way_out and not _OWNER.search(text):  # a service's notice names an owner
        if _BAIT.search(text) or (_CREDENTIAL_BAIT.search(text) and _PRESSURE.search(text)):
            return True
    if _LURE.search(text) and (way_out or _CONTACT.search(text)):
        return True
    if _GAINS.search(text) and _RECRUITING.search(text):
        return True  # gains promised to whoever joins
    if _PAID_TASKS.search(text) and (_RECRUITING.search(text) or _CONTACT.search(text) or "兴趣" in text):
        return True  # paid small tasks for whoever asks
    if _UPFRONT_FEE.search(text) and _OPPORTUNITY.search(text):
        return True  # a fee first, then the job, loan or prize
    if _HAND_OVER.search(text) and (way_out or looks_official(event)):
        return True
    if _SECRET_ASKED.search(text) and (_HAND_OVER.search(text) or "你" in text or "您" in text):
        return True
    return looks_official(event) and bool(_MONEY_URGENCY.search(text))
