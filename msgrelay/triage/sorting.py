"""What one message means for the user, decided from the message alone.

`sort_message` looks at one message and the user's profile and nothing else: no other message, no
clock, no completed to-dos.  So a message is sorted once (when it is stored, or when the profile
changes) and the digest only assembles lists from the sortings it is given.

The rules, in the order they are applied (the words are in `words.py`):

1. Who writes: the user (own words are never to-dos; own promises are follow-ups), a service, bot or
   advertisement (only an approval waiting for the user or a notice naming the user as owner is a
   to-do), or a scam (money urgency from someone who cannot be checked, lures with links, also bare
   domains): marked suspicious and nothing else.
2. Who it is for: a one-to-one chat, an @ of the user, the user's name, alias or a form of it
   (李工, 小李, 明哥) opening the message, or the name followed by a task (李明负责…) address the
   user; an @ of someone else addresses them; @所有人 and words such as 大家 address everyone.
3. Whether it asks something: a clause with a request word or an obligation (你们得…), 你/您 + verb,
   the user's part named first (你那边的外包先停两个), 把 + verb, a verb at the head of a subjectless
   clause, a question, or a problem reported to the user (something missing, running out, chased);
   clauses whose subject is the sender or a third person, that only report what is done, describe
   (写得清楚), remind or only care ("多穿点") ask nothing, nor does a clause that promises.  A group
   message asks everyone only for a duty with a date (投票, 考试, 交周报), stand-by or preparing a
   meeting, never conditionally ("没拜访的不用填") or for leisure; a sanction ("未完成的影响绩效") is no
   condition.
4. Promises and waiting: the sender will come back to the user ("稍后发你", "明天回复你", "…我转给李明"),
   someone promised an answer for later ("人家说下周给答复"), the user's request waits in someone's
   hands, a topic is deferred with the user, a decision is awaited, the user is reminded of something
   of theirs.  A message that asks something now is a to-do and not also a follow-up.
5. Meetings: meeting words and kinds (联调会, tech talk), or an event (评审, 走查, 面试…) with a time, a
   change or a role; minutes, review comments, the room, "在开会", an event that is over (对齐过了),
   only a purpose (评审要用) or the sender's own (我下午跟老板汇报) are not meetings.  An invitation
   is a to-do only when it gives the user a role or asks a question.
6. Importance: a to-do due soon (in private life a formal deadline only) or from a boss, unless it
   can wait (找时间); a task assigned in minutes; a watched keyword; money the user owes (not a
   receipt), budget and contract decisions; customer escalation; production failing or work stopped
   (not a short planned window of an office tool); a sanction for a missed deadline; decisions about
   the user, the team or the company, a boss's decision on the user's request; a meeting with a boss
   unless only moved, one with the top of a company even then; family emergencies, not routine care.
"""

from __future__ import annotations

import dataclasses
import re

from . import classify, words
from .deadline import due_of
from .meetings import ATTEND, MEETING_LINK, RESCHEDULE, ROLE, is_meeting
from .patterns import CL, alternatives, any_of, clauses, literal
from .scams import is_suspicious
from ..demo_data import DEMO_MARK, Event


_ALIAS_SEPARATORS = re.compile(r"[\n,，、]")
_ASSIGNED = literal(words.ASSIGNED)
_MENTION = re.compile(r"@([^\s@，,。:：;；!！?？、]+)")
_NOT_SUBJECT = f"(?<![{words.OBJECT_AFTER}])"  # 我 or 你 after these is an object: 发我, 答复你
_SELF = re.compile(_NOT_SUBJECT + r"我们?(?!的|们的)(?![，,。；;！!？?\n]|$)|\bI\b|\bI'(ll|m)\b|\bwe\b", re.I)
_THIRD = re.compile(_NOT_SUBJECT + r"(?<![其吉])(?:他|她)们?(?!的)")  # 他 or 她 as subject: "她过来帮忙带孩子"
_YOU = re.compile(_NOT_SUBJECT + r"(?:你|您)(?!们?的)(?:们)?(?![，,。；;！!？?\n]|$)")  # 你 as subject
_AUTOMATED = literal(words.AUTOMATED_SENDERS)
_ADVERTISING = literal(words.ADVERTISING)
_SENIOR = re.compile("(?:" + alternatives(words.SENIOR_TITLES) + r")$")
_REQUEST = any_of(words.REQUEST_MARKERS)
_NEED = re.compile(words.NEED)
_PLEASE = re.compile(f"(?<![{words.PLEASE_WORDS_NOT}])请(?!" + "|".join(words.PLEASE_NOT) + ")")
_ONE_MOMENT = re.compile(f"([^{words.NOT_REDUPLICATED}\\W\\d])一\\1|一下(?![{words.NOT_A_MOMENT}])"
                         f"|(?<=[{words.SHORT_DOWN_VERBS}])下(?![{words.NOT_A_MOMENT}面边])")  # 停一停, 看一下, 看下
_YOU_VERB = re.compile(_NOT_SUBJECT + r"(?:你|您)(?:们)?(?:" + alternatives(words.YOU_FILLERS) + r"){0,3}\s*(?:" +
                       alternatives(words.ACTION_VERBS) + r")(?!\S?[的得])")  # 你先看一下, not 你提交的, 你写得清楚
_YOU_TOPIC = re.compile(words.YOU_TOPIC + r"(?:" + alternatives(words.ACTION_VERBS) + ")")
_BA = re.compile(r"把")
_HEAD = re.compile(r"^\s*(?:" + words.HEAD_LEAD + r"\s*){0,2}(?:" + alternatives(words.HEAD_VERBS) + ")(?![得了过天好完])")
_QUESTION_END = re.compile(r"(?:" + "|".join(words.QUESTION_ENDS) + r")?\s*[？?]+\s*$|(?:" +
                           "|".join(words.QUESTION_ENDS) + r")\s*[。.~～]?\s*$|(?:吗|呗|嘛)\s*[，,]\s*$")
_QUESTION_FORM = literal(words.QUESTION_FORMS)
_ENGLISH_REQUEST = re.compile("|".join(words.ENGLISH_REQUESTS), re.I)
_PROBLEM = literal(words.PROBLEM_WORDS)
_DONE = literal(words.DONE_WORDS)
_ENDS_DONE = re.compile(r"了\s*[。！!～~]?\s*$")
_INFO = literal(words.INFO_ONLY)
_CARE = literal(words.CARE_WORDS)
_REMINDER = re.compile(words.REMINDER)
_REMINDER_OF_MINE = any_of([words.REMINDER_OF_MINE])
_CONDITIONAL = any_of(words.CONDITIONAL)
_PREPARE = any_of([words.PREPARE])
_DUTY = any_of(words.DUTY_VERBS)
_STANDBY = any_of(words.STANDBY)
_EACH = literal(words.EACH)
_ANNOUNCE = literal(words.ANNOUNCE)
_FORECAST = literal(words.FORECAST)
_EVERYONE = literal(words.EVERYONE_WORDS)
_DATED = re.compile(r"今天|今晚|明天|明早|周[一二三四五六日天]|本周|这周|截止|\d+\s*[号日点]|前")  # a group's duty has a date

_PROMISE = re.compile(r"我们?" + CL + "{0,6}?(?:" + "|".join(words.PROMISE_TIMES) + ")" + CL + "{0,10}?(?:" +
                      alternatives(words.PROMISE_VERBS) + ")")  # 我今晚把方案更新一下
_PROMISE_I_WILL = re.compile(r"我们?(?:来|会)")
_NOT_PROMISE = literal(words.NOT_PROMISE)
_TO_THE_GROUP = literal(words.TO_THE_GROUP)
_TO_YOU = re.compile(r"(?<!已)(?<!已经)(?<![交转])(?:" + "|".join(words.TO_YOU) + r")(?:你|您)(?![们的" + words.KIN_AFTER_YOU +
                     r"])(?![^，。！？,!?]{0,8}了)")  # "发你", not "发你们", "跟你妈" or "发你了"
_ENGLISH_PROMISE = re.compile("|".join(words.ENGLISH_PROMISES), re.I)
_WAITING = any_of(words.WAITING)
_DEFERRED = any_of(words.DEFERRED)
_DECISION_AWAITED = any_of([words.DECISION_AWAITED])
_REMINDER_LATER = any_of(words.REMINDER_LATER)

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
_MY_PENDING = any_of([words.MY_REQUEST_PENDING])
_RECOVERED = literal(words.RECOVERED)
_OWNER = literal(words.OWNER_LABELS)



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
    return forms


def _name_pattern(names) -> re.Pattern | None:
    """The names as whole words: "Leo" not in "Leon", "李明" not in "李明辉" (see words.NAME_FOLLOWERS)."""
    parts = []
    for name in sorted(set(names), key=len, reverse=True):
        escaped = re.escape(name)
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
    _pattern: re.Pattern | None = dataclasses.field(init=False, default=None, repr=False, compare=False)
    _keywords: re.Pattern | None = dataclasses.field(init=False, default=None, repr=False, compare=False)

    def __post_init__(self):
        # the forms come from the display name (the first name); an alias such as 明哥 is a form already
        forms = [f for f in _address_forms(self.names[0]) if f not in self.names] if self.names else []
        object.__setattr__(self, "forms", tuple(forms))
        object.__setattr__(self, "_pattern", _name_pattern(self.names + self.forms))
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
        return self._pattern.search(text, start) if self._pattern else None

    def mentioned(self, who: str) -> bool:
        """Whether an @ names the user: "@李明", "@李明你看下", not "@李明辉"."""
        hit = self._pattern.match(who) if self._pattern else None
        return bool(hit) and (hit.end() == len(who) or who[hit.end()] in words.AFTER_MENTION)

    def after_mention(self, who: str) -> str:
        """The text an @ of the user ran into: "你看下" of "@李明你看下"."""
        return who[self._pattern.match(who).end():] if self.mentioned(who) else ""

    def as_you(self, text: str) -> str:
        """The text with the user's names and forms put as 你: "…我转给李明" reads "…我转给你"."""
        return self._pattern.sub("你", text) if self._pattern else text

    def watched(self, text: str) -> bool:
        return bool(self._keywords and self._keywords.search(text))


@dataclasses.dataclass(frozen=True)
class Sorting:
    """The lists a message belongs in.  `due` orders to-dos (epoch seconds, None: no deadline seen)."""

    todo: bool = False  # asks something of the user
    follow_up: bool = False  # an open loop of the user's to come back to
    meeting: bool = False
    mine: bool = False  # names the user
    notice: bool = False  # a broadcast or announcement
    important: bool = False
    suspicious: bool = False  # looks like a scam or phishing; never a to-do
    topics: tuple[str, ...] = ()
    due: float | None = None

    @property
    def needs_user(self) -> bool:
        """Worth telling the user unasked: it asks something of them or names them."""
        return (self.todo or self.mine) and not self.suspicious


def is_own(event: Event, profile: Profile) -> bool:
    return event.sender_name.strip() in profile.names  # not a form: another 李 may be 李总


def is_automated(event: Event) -> bool:
    """A service, bot or system writes, or the message is an advertisement."""
    return event.session_kind == "official" or bool(_AUTOMATED.search(event.sender_name)) \
        or bool(_ADVERTISING.search(event.display_text))


@dataclasses.dataclass
class _Address:
    me: bool = False  # one-to-one, @ of the user, opened with the user's name, or a task named to the user
    named: bool = False  # the user's name or a form of it appears
    other: bool = False  # @ of someone else only
    everyone: bool = False
    assigned: bool = False  # the user's name followed by a task: "李明负责灰度方案"


def _address(event: Event, text: str, profile: Profile, automated: bool) -> tuple[_Address, str]:
    """Who the message is for, and its text without the leading @ mentions and salutation."""
    found = _Address()
    others = False
    for mention in _MENTION.finditer(text):
        who = mention.group(1)
        if profile.mentioned(who):
            found.me = True
        elif who.startswith(words.EVERYONE_MENTIONS):
            found.everyone = True
        else:
            others = True
    body = _MENTION.sub(lambda m: " " + profile.after_mention(m.group(1)), text).strip()
    opener = profile.find(body)
    if opener and opener.start() == 0:
        rest = body[opener.end():]
        if not rest or rest[0] in words.SALUTATION_ENDS + words.AFTER_MENTION or rest.startswith(words.GREETINGS):
            found.me = True  # "李明，…", "小李 …", "李明你看下…", not "李明辉…"
            body = rest.lstrip(words.SALUTATION_ENDS)
    hit = profile.find(text)
    found.named = hit is not None
    if hit and not found.me and not automated:
        after = text[hit.end():hit.end() + 4]
        if _ASSIGNED.match(after):
            found.me = found.assigned = True  # "纪要：…李明负责灰度方案"
    if event.session_kind == "direct" and not automated:
        found.me = True
    found.other = others and not found.me
    if not found.me and not found.other and _EVERYONE.search(body):
        found.everyone = True
    return found, body


def _is_question(clause: str) -> bool:
    if _QUESTION_END.search(clause) or _ENGLISH_REQUEST.search(clause):
        return True
    return bool(_QUESTION_FORM.search(clause)) and not _SELF.search(clause)


def _asks(clause: str, self_topic: bool) -> bool:
    """Whether one clause asks the reader to do or answer something.  self_topic: an earlier clause
    had the sender as subject, which a following subjectless clause keeps ("我整理完，明天发群里")."""
    if _CARE.search(clause) or _REMINDER.match(clause.strip()):
        return False
    if _is_question(clause):
        return True
    you = bool(_YOU_VERB.search(clause) or _YOU_TOPIC.search(clause))
    if (_SELF.search(clause) or _THIRD.search(clause)) and not you and not _YOU.search(clause):
        return False  # "我尽快处理", "我们需要再评估", "她过来帮忙带孩子"
    if _FORECAST.search(clause):
        return False
    if you or _REQUEST.search(clause) or _PLEASE.search(clause) or _NEED.search(clause):
        return True
    if self_topic or _ENDS_DONE.search(clause) or (_DONE.search(clause) and not _ONE_MOMENT.search(clause)):
        return False
    return bool(_ONE_MOMENT.search(clause) or _BA.search(clause) or _HEAD.search(clause))


def _request(parts: list[str], promised: list[bool], meeting: bool = False) -> tuple[bool, bool]:
    """(asks something, only asks a question) over the clauses of a message addressed to the user.
    In a meeting's message, being asked to attend is no request; a role in it or a question is.
    A clause that promises (promised, one flag a clause) asks nothing ("晚点发你过目")."""
    asked = question_only = False
    self_topic = False
    for clause, promise in zip(parts, promised):
        if meeting and ATTEND.search(clause) and not ROLE.search(clause) and not _is_question(clause):
            continue
        if promise:
            self_topic = True
            continue
        if _SELF.search(clause) and not _YOU.search(clause):
            self_topic = True  # a following subjectless clause keeps the sender as subject
        elif _YOU.search(clause):
            self_topic = False
        if _asks(clause, self_topic):
            question_only = (not asked or question_only) and _is_question(clause)
            asked = True
    return asked, question_only


def _promise_clause(clause: str, own: bool = False) -> bool:
    """The clause promises something for later: "我今晚更新", "稍后发你"."""
    if _is_question(clause) or _NOT_PROMISE.search(clause) or _ENDS_DONE.search(clause):
        return False
    if not own and _TO_THE_GROUP.search(clause):
        return False
    return bool(_TO_YOU.search(clause) or _ENGLISH_PROMISE.search(clause) or _PROMISE_I_WILL.search(clause)
                or _PROMISE.search(clause))


def _promises(body: str, own: bool = False) -> bool:
    """The sender (or the user, in own words) will do something later."""
    return any(_promise_clause(clause, own) for clause in clauses(body))


def _group_duty(body: str, meeting: bool) -> bool:
    """A duty of every member of a group: 交周报 by a date, 投票, 考试, stand-by for a release; in a
    meeting's message only preparing for it ("大家提前把文档看一遍")."""
    if meeting:
        return bool(_PREPARE.search(body)) and not _CONDITIONAL.search(body)
    conditional = _CONDITIONAL.search(_PENALTY.sub("", body))  # "未完成的影响绩效" is a sanction, no condition
    if conditional or _INFO.search(body) or _ANNOUNCE.search(body) or _is_question(body):
        return False
    if _STANDBY.search(body):
        return True
    dated = bool(_DATED.search(body))
    for clause in clauses(body):
        if _SELF.search(clause) or _DONE.search(clause):
            continue
        if dated and (_DUTY.search(clause) or (_EACH.search(clause) and _BA.search(clause))):
            return True
    return False


@dataclasses.dataclass
class _Reading:
    """What the rules found in one message, on the way to its Sorting."""

    text: str
    profile: Profile
    body: str  # without leading @ mentions and salutation
    address: _Address
    own: bool
    automated: bool
    senior: bool
    meeting: bool
    todo: bool = False
    follow_up: bool = False
    question_only: bool = False


def _owned(text: str, profile: Profile) -> bool:
    """A service names the user as the owner: "李明 的数据库账号将于 5 天后过期"."""
    hit = profile.find(text)
    return bool(hit) and text[hit.end():hit.end() + 3].lstrip().startswith(("的", "名下"))


def _read_requests(r: _Reading, event: Event) -> None:
    """Sets the to-do and follow-up flags: rules 1 to 5 of the module's description."""
    if r.own:
        r.follow_up = _promises(r.body, own=True)
        return
    if r.automated:
        owner = r.address.named and bool(_OWNER.search(r.text) or _owned(r.text, r.profile))
        later = bool(_REMINDER_LATER.search(r.text))
        r.todo = bool(_APPROVAL.search(r.text)) or (owner and not later and not _RECOVERED.search(r.text))
        r.follow_up = bool(_MY_PENDING.search(r.text)) or (owner and later)
        return
    me, body = r.address.me, r.body
    parts = clauses(body)
    promised = [_promise_clause(clause) for clause in parts] if me else []
    named_promise = r.address.named and not me and _promises(r.profile.as_you(body))  # "…我转给李明"
    r.follow_up = (any(promised) and not (r.meeting and MEETING_LINK.search(body))) or named_promise \
        or (me and bool(_REMINDER_OF_MINE.search(body))) \
        or ((me or "你" in body) and bool(_WAITING.search(body))) \
        or ((me or r.address.named) and bool(_DEFERRED.search(body))) or bool(_DECISION_AWAITED.search(body))
    if me:
        asked, r.question_only = _request(parts, promised, r.meeting)
        problem = bool(_PROBLEM.search(body)) and not _DONE.search(body)
        r.todo = (asked or problem or r.address.assigned) and not _INFO.search(body)
        if r.todo and r.follow_up:
            # a request is the user's to do now, not a loop to come back to ("你帮我拉一下，我晚点要看");
            # a promise or a wait with no request is a loop ("我在查了，有问题稍后告诉你")
            r.todo, r.follow_up = asked, not asked
    elif not r.address.other and event.session_kind != "direct":
        r.todo = _group_duty(body, r.meeting)


def _is_important(r: _Reading, private: bool) -> bool:
    """Rule 6 of the module's description.  private: a chat of the user's private life, where an hour
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


def sort_message(event: Event, profile: Profile) -> Sorting:
    text = event.display_text.replace(DEMO_MARK.strip(), "").strip()
    topics = tuple(classify.topics_of(text))
    notice = words.NOTICE_TOPIC in topics
    own = is_own(event, profile)
    automated = not own and is_automated(event)
    if not own and is_suspicious(event, text):
        return Sorting(suspicious=True, notice=notice, topics=topics)
    address, body = _address(event, text, profile, automated)
    reading = _Reading(text, profile, body, address, own, automated,
                       senior=not automated and bool(_SENIOR.search(event.sender_name.strip())),
                       meeting=is_meeting(text, event, automated))
    _read_requests(reading, event)
    todo, follow_up = reading.todo, reading.follow_up
    return Sorting(
        todo=todo,
        follow_up=follow_up,
        meeting=reading.meeting,
        # a service's notice that names the user (构建成功 提交者：李明) is for them only when it asks or reminds
        mine=address.named and not own and (not automated or todo or follow_up),
        notice=notice,
        important=_is_important(reading, private=event.chat_target == "wechat"),
        topics=topics,
        due=due_of(text, event.at) if (todo or follow_up) else None,
    )
