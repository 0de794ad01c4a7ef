"""Who writes a message and who it is for: the user, a service, a boss; one-to-one, an @, the user's
name opening it or a task named to them, someone else, or everyone."""

from __future__ import annotations

import dataclasses
import functools
import re

from . import words
from ..demo_data import Event
from .patterns import alternatives, any_of, literal
from .profile import Profile

_ASSIGNED = literal(words.ASSIGNED)
# "@李明(孩子爸爸)": a group nickname in brackets belongs to the mention
_MENTION = re.compile(r"@([^\s@，,。:：;；!！?？、(（]+)(?:[(（][^()（）\n]{0,16}[)）])?")
_AUTOMATED = literal(words.AUTOMATED_SENDERS)
_ADVERTISING = literal(words.ADVERTISING)
_SENIOR = re.compile("(?:" + alternatives(words.SENIOR_TITLES) + r")$")
_EVERYONE = literal(words.EVERYONE_WORDS)
_REPLY_TO = re.compile(words.REPLY_TO)
_GREETING_BEFORE = re.compile(words.GREETING_BEFORE, re.I)
_CLOSING_BEFORE = re.compile(words.CLOSING_BEFORE)
_ROLE_ADDRESS = re.compile(words.ROLE_ADDRESS)
_APPOINTED = re.compile(words.APPOINTED)
_ASSIGNING_BEFORE = re.compile("(?:" + alternatives(words.ASSIGNING_BEFORE) + ")$")
_ASKING_BEFORE = re.compile("(?:" + alternatives(words.ASKING_BEFORE) + ")$")
_OWNER_BEFORE = re.compile(words.OWNER_BEFORE)
_OWNER_AFTER = any_of([words.OWNER_AFTER])
_ON_CALL_BEFORE = re.compile(words.ON_CALL_BEFORE)
_ALERT_SIGNS = any_of(words.ALERT_SIGNS)
_CUSTOMER_CHATS = literal(words.CUSTOMER_CHATS)
_CUSTOMER_SENDER = re.compile(words.CUSTOMER_SENDER)
_OWN_UNITS = literal(words.OWN_UNITS)
_TEAM_YOU = literal(words.TEAM_YOU)


def is_own(event: Event, profile: Profile) -> bool:
    return event.sender_name.strip() in profile.names  # not a form: another 李 may be 李总


@functools.lru_cache(maxsize=4096)
def _sender(name: str) -> tuple[bool, bool, bool]:
    """(a service, a boss, a customer) by the sender's name alone; names repeat, so it is kept."""
    name = name.strip()
    company = _CUSTOMER_SENDER.match(name)
    return (bool(_AUTOMATED.search(name)) or name.isdigit(),  # 10086, 95588
            bool(_SENIOR.search(name)), bool(company) and not _OWN_UNITS.search(company.group(0)))


@functools.lru_cache(maxsize=1024)
def _customer_chat(session: str) -> bool:
    return bool(_CUSTOMER_CHATS.search(session))


def is_senior(event: Event) -> bool:
    """A boss or a customer's decision maker writes (李总, 陈经理, VP)."""
    return _sender(event.sender_name)[1]


def is_customer(event: Event, address: "Address | None" = None) -> bool:
    """A customer writes: in a chat with a customer, named with a company that is no unit of the
    user's own ("鼎盛-周经理", not "财务-钱多多"), or calling the user as customers do (李工)."""
    return _sender(event.sender_name)[2] or _customer_chat(event.session_name) or bool(address and address.as_engineer)


def is_automated(event: Event) -> bool:
    """A service, bot or system writes, or the message is an advertisement."""
    return event.session_kind == "official" or _sender(event.sender_name)[0] \
        or bool(_ADVERTISING.search(event.display_text))


@dataclasses.dataclass
class Address:
    me: bool = False  # one-to-one, @ of the user, opened with the user's name, or a task named to the user
    named: bool = False  # the user's name or a form of it appears
    mentioned: bool = False  # an @ of the user
    other: bool = False  # @ of someone else only
    everyone: bool = False
    assigned: bool = False  # a task named to the user: "李明负责灰度方案", "需要李明重新提", "负责人：李明"
    owner: bool = False  # the user named as owner, assignee or reviewer, or on duty for an alert
    team: bool = False  # a customer addresses the user's team: "请你们马上查一下"
    as_engineer: bool = False  # called as customers call the user: 李工


def _owner(text: str, hit) -> tuple[bool, bool]:
    """(owner, on duty): the label before or the setting after the user's name (hit)."""
    before, after = text[max(0, hit.start() - 24):hit.start()], text[hit.end():hit.end() + 40]
    owner = bool(_OWNER_BEFORE.search(before) or _OWNER_AFTER.match(after))
    return owner, bool(_ON_CALL_BEFORE.search(before))


def address_of(event: Event, text: str, profile: Profile, automated: bool) -> tuple[Address, str]:
    """Who the message is for, and its text without the leading @ mentions and salutation."""
    found = Address()
    others = False
    for mention in _MENTION.finditer(text) if "@" in text else ():
        who = mention.group(1)
        if profile.mentioned(who):
            found.me = found.mentioned = True
        elif who.startswith(words.EVERYONE_MENTIONS):
            found.everyone = True
        else:
            others = True
    body = _MENTION.sub(lambda m: " " + profile.after_mention(m.group(1)), text).strip() if "@" in text else text.strip()
    opener = profile.find(body)
    first = opener if body is text else profile.find(text)  # the name's first place in the whole text
    before = body[:opener.start()] if opener else ""
    if before and (_REPLY_TO.match(before) or _GREETING_BEFORE.match(before) or before == opener.group(0)):
        found.me = True  # "回复 李明：…", "Hi Li Ming, …", "明哥明哥在吗？？"
        body = body[opener.end():].lstrip(words.SALUTATION_ENDS)
    elif opener and opener.start() == 0:
        rest = body[opener.end():]
        if not rest or rest[0] in words.SALUTATION_ENDS + words.AFTER_MENTION \
                or rest.startswith(words.GREETINGS + words.OPENER_TIMES):
            found.me = True  # "李明，…", "小李 …", "李明你看下…", "明哥今晚来不来", not "李明辉…"
            body = rest.lstrip(words.SALUTATION_ENDS)
    elif greeted := profile.greeted(body):
        found.me = True  # "Ming, could you…"
        body = body[greeted:].lstrip(words.SALUTATION_ENDS)
    elif opener and _CLOSING_BEFORE.search(body, 0, max(profile.closing(body), 0)):
        found.me = True  # "…方便的话发我们一版，谢谢李工"
    hit = first
    found.named = hit is not None
    found.as_engineer = bool(hit) and hit.group(0) == profile.engineer
    while hit:
        owner, on_duty = _owner(text, hit)
        found.owner = owner or (on_duty and bool(_ALERT_SIGNS.search(text)))
        after = text[hit.end():hit.end() + 4]
        task = _ASSIGNED.match(after)
        before = text[max(0, hit.start() - 2):hit.start()]
        assigned = bool(task and not after[task.end():].startswith("的")) \
            or (bool(_ASSIGNING_BEFORE.search(before)) and not _APPOINTED.match(text, hit.end()))
        if found.owner or assigned or _ASKING_BEFORE.search(before):
            if not automated and not found.me:
                found.me = True  # "纪要：…李明负责灰度方案", "需要李明重新提", "负责人：李明", "请李明确认"
                found.assigned = assigned
            break
        hit = profile.find(text, hit.end())
    if event.session_kind == "direct" and not automated:
        found.me = True
    elif not found.me and not others and not automated and _ROLE_ADDRESS.search(body):
        found.me = found.everyone = True  # "各组长周五前把 OKR 发我": the user leads a group
        body = _ROLE_ADDRESS.sub("", body)  # the role read as a salutation: "…，各承建单位负责人带上部署文档"
    elif not found.me and not others and not automated and _TEAM_YOU.search(body) and is_customer(event):
        found.me = found.team = True
    found.other = others and not found.me
    if not found.me and not found.other and _EVERYONE.search(body):
        found.everyone = True
    return found, body


@dataclasses.dataclass
class Reading:
    """What the rules found in one message, on the way to its Sorting."""

    text: str
    profile: Profile
    body: str  # without leading @ mentions and salutation
    address: Address
    own: bool
    automated: bool
    senior: bool
    meeting: bool
    direct: bool = False  # a one-to-one chat
    outage: bool = False  # production failing or work stopped (importance.is_outage)
    todo: bool = False
    follow_up: bool = False
    question_only: bool = False
