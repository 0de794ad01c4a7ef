"""What one message means for the user, decided from the message alone.

`sort_message` looks at one message and the user's profile and nothing else: no other message, no
clock, no completed to-dos.  So a message is sorted once (when it is stored, or when the profile
changes) and the digest only assembles lists from the sortings it is given.

The rules, in the order they are applied (the words are in `words.py`; who writes and who it is for
in `address.py`, scams in `scams.py`, meetings in `meetings.py`, importance in `importance.py`):

1. Who writes: the user (own words are never to-dos; own promises, waits and deferrals are
   follow-ups), a service, bot or advertisement (only an approval waiting for the user, a notice
   naming the user as owner, assignee or reviewer, an alert that @-mentions the user or a role in a
   meeting is a to-do), a boss or a customer (a company before the sender's name, a customer's
   chat, 李工), or a scam by its shape (`scams.py`): marked suspicious and nothing else.
2. Who it is for: a one-to-one chat, an @ of the user, the user's name, alias or a form of it
   (李工, 小李, 明哥) as a whole name (not 李明辉) opening the message or a reply to it (回复 李明：),
   the name with a task before or after it (需要李明重新提, 李明负责…) or an owner label before it
   (负责人：李明), 你们 in a customer's chat; an @ of someone else addresses them; @所有人 and words
   such as 大家 address everyone.
3. Whether it asks something: a clause with a request word or an obligation (你们得…, 得换成…), 你/您
   + verb, the user's part named first (你那边的外包先停两个), 把 + verb, a verb at the head of a
   subjectless clause, a question, a summons (来我办公室一趟), "we must" in a one-to-one chat, or a
   problem reported to the user (something missing, running out, chased) that no one else handles;
   clauses whose subject is the sender or a third person, that only report what is done or going on,
   describe (写得清楚), remind, wait until (等…再说), tell (跟你同步一下) or only care ("多穿点") ask
   nothing, nor does a clause that promises or a withdrawn request (不用麻烦了).  A group message asks
   everyone only for a duty with a date (投票, 考试, 交周报, 大家…写一下), stand-by, everyone at once in
   an emergency, preparing or a part in a meeting, never conditionally ("没拜访的不用填") or for
   leisure, nor in a clause about what cannot be done; a sanction ("未完成的影响绩效") is no condition.
4. Promises and waiting: the sender will come back to the user ("稍后发你", "明天回复你", "…我转给李明",
   "我约了师傅，后天上午过去"), someone promised an answer for later ("他们说明天下午给"), the user's
   request waits in someone's hands, a topic is deferred with the user, a decision is awaited, the
   user is reminded of something of theirs.  A message that asks something now is a to-do and not
   also a follow-up, unless the only question is one the sender takes away to answer.
5. Meetings: meeting words and kinds (联调会, tech talk, 1:1), or an event (评审, 走查, 面试…) with a
   time, a change or a role, a time with a place (A502), an occasion moved (现场那次挪到周四); minutes,
   review comments, the room, "在开会", an event that is over (对齐过了), only a purpose (评审要用) or
   the sender's own (我下午跟老板汇报) are not meetings.  An invitation is a to-do only when it gives
   the user a role or asks a question.
6. Importance (`importance.py`): at stake are customer escalations, outages and work stopped (not a
   short planned window of an office tool, nor one already being repaired), family emergencies,
   money and contracts decided, decisions about the user, the team or the company, a boss's decision
   on the user's work; routine but important are a to-do due soon (in private life a formal deadline
   only) or from a boss unless it can wait (找时间), a task assigned in minutes, a to-do about a
   contract or a price, an approval waiting for the user, money the user owes (not a receipt), a sanction for a missed
   deadline, a meeting with a boss (not a talk in a one-to-one chat) or with the top of a company.
7. Urgency: a request with a "now" word (立即, 马上, 现在, 紧急, 尽快, ASAP) or an emergency (an
   outage that is neither over nor planned, a family emergency) is due at the message's own time.
"""

from __future__ import annotations

import dataclasses
import re

from . import classify, words
from .address import Reading, address_of, is_automated, is_customer, is_own, is_senior
from .deadline import due_of
from .importance import is_outage, weigh
from .meetings import ATTEND, MEETING_LINK, ROLE, is_meeting
from .patterns import CL, Either, English, Guarded, alternatives, any_of, clauses, literal
from .profile import Profile
from .scams import is_suspicious
from ..demo_data import DEMO_MARK, Event


# 我 or 你 after these is an object: 发我, 答复你.  The patterns start with the pronoun and look back from
# there, which lets the engine skip ahead to the pronoun.
_OBJECT = f"[{words.OBJECT_AFTER}]"
_SELF = Either(re.compile(rf"我(?<!{_OBJECT}我)们?(?!的|们的)(?![，,。；;！!？?\n]|$)"),
                Guarded(re.compile(r"[IiWw]"), re.compile(r"\bI\b|\bI'(ll|m)\b|\bwe\b", re.I)))
_THIRD = re.compile(rf"[他她](?<![{words.OBJECT_AFTER}其吉][他她])们?(?!的)")  # 他 or 她 as subject: "她过来帮忙带孩子"
_YOU = re.compile(rf"[你您](?<!{_OBJECT}[你您])(?!们?的)(?:们)?(?![，,。；;！!？?\n]|$)")  # 你 as subject
_REQUEST = any_of(words.REQUEST_MARKERS)
_NEED = re.compile(words.NEED)
_PLEASE = re.compile(f"(?<![{words.PLEASE_WORDS_NOT}])请(?!" + "|".join(words.PLEASE_NOT) + ")")
_ONE_MOMENT = re.compile(f"([^{words.NOT_REDUPLICATED}\\W\\d])一\\1|一下(?![{words.NOT_A_MOMENT}])"
                         f"|(?<=[{words.SHORT_DOWN_VERBS}])下(?![{words.NOT_A_MOMENT}面边])")  # 停一停, 看一下, 看下
_YOU_VERB = re.compile(rf"[你您](?<!{_OBJECT}[你您])(?:们)?(?:" + alternatives(words.YOU_FILLERS) + r"){0,3}\s*(?:" +
                       alternatives(words.ACTION_VERBS) + r")(?!\S?[的得])")  # 你先看一下, not 你提交的, 你写得清楚
_YOU_TOPIC = re.compile(words.YOU_TOPIC + r"(?:" + alternatives(words.ACTION_VERBS) + ")")
# an obligation put to the user: "你那个采购申请要补一份比价单", "你们得在那之前迁走"
_YOU_MUST = re.compile(rf"[你您](?<!{_OBJECT}[你您])们?[^，,。；;！!？?\n]{0,16}?(?:要|得|需要|必须)(?:" +
                       alternatives(words.ACTION_VERBS) + ")")
_BA = re.compile(r"把")
_HEAD = re.compile(r"^\s*(?:" + words.HEAD_LEAD + r"\s*){0,2}(?:" + alternatives(words.HEAD_VERBS) + ")(?![得了过天好完试布易询])")
_QUESTION_END = re.compile(r"(?:" + "|".join(words.QUESTION_ENDS) + r")?\s*[？?]+\s*$|(?:" +
                           "|".join(words.QUESTION_ENDS) + r")\s*[。.~～]?\s*$|(?:吗|呗|嘛)\s*[，,]\s*$")
_QUESTION_FORM = literal(words.QUESTION_FORMS)
_LATIN = re.compile(r"[A-Za-z]")
_ENGLISH_REQUEST = re.compile("|".join(words.ENGLISH_REQUESTS), re.I)
_PROBLEM = any_of(words.PROBLEM_WORDS)
_DONE = literal(words.DONE_WORDS)
_SOLVED = any_of(words.SOLVED)
_ENDS_DONE = re.compile(r"了\s*[，,。！!～~]?\s*$")
_INFO = literal(words.INFO_ONLY)
_CARE = literal(words.CARE_WORDS)
_REMINDER = re.compile(words.REMINDER)
_REMINDER_OF_MINE = any_of([words.REMINDER_OF_MINE])
_CONDITIONAL = any_of(words.CONDITIONAL)
_PREPARE = any_of([words.PREPARE])
_DUTY = any_of(words.DUTY_VERBS)
_STANDBY = any_of(words.STANDBY)
_PENALTY = any_of(words.PENALTY)
_ALL_NOW = Either(any_of(words.ALL_NOW), English(words.ALL_NOW_ENGLISH))
_UNABLE = literal(words.UNABLE)
_EACH_ROLE = any_of([words.EACH_ROLE])
_WAIT_UNTIL = any_of([words.WAIT_UNTIL])
_SUGGESTION = re.compile(words.SUGGESTION)
_OPTIONAL = any_of(words.OPTIONAL)
_WE_MUST = Either(any_of(words.WE_MUST), English(words.WE_MUST_ENGLISH))
_HANDLED = any_of(words.HANDLED)
_ALERT_PROBLEM = any_of(words.ALERT_PROBLEM)
_GROUP_ASK = literal(words.GROUP_ASK)
_IN_PROGRESS = literal(words.IN_PROGRESS)
_TELLING_NOW = re.compile(words.TELLING_NOW)
_DELIBERATION = re.compile(words.DELIBERATION)
_NOW = Either(any_of(words.NOW), English(words.NOW_ENGLISH))
_RELAXED = literal(words.RELAXED)
_BEFORE_COMING = re.compile(r"再(来|去|参加|过来)")  # "大家把商机表更新好再来": coming ready, no chore
_EACH = literal(words.EACH)
_ANNOUNCE = literal(words.ANNOUNCE)
_FORECAST = literal(words.FORECAST)
_EVERYONE = literal(words.EVERYONE_WORDS)
_DATED = re.compile(r"今天|今晚|明天|明早|周[一二三四五六日天]|本周|这周|截止|\d+\s*[号日点]|前")  # a group's duty has a date

_PROMISE = re.compile(r"我们?" + CL + "{0,6}?(?:" + "|".join(words.PROMISE_TIMES) + ")" + CL + "{0,10}?(?:" +
                      alternatives(words.PROMISE_VERBS) + ")")  # 我今晚把方案更新一下
_PROMISE_I_WILL = re.compile(r"我们?(?:来|会)")
_PROMISE_GOING = re.compile(words.PROMISE_GOING)
_LATER_SEND = any_of([words.LATER_SEND])
_AWAITING_YOU = any_of([words.AWAITING_YOU])
_NOT_PROMISE = literal(words.NOT_PROMISE)
_TO_THE_GROUP = literal(words.TO_THE_GROUP)
_TO_YOU = re.compile(r"(?<!已)(?<!已经)(?<![交转])(?:" + "|".join(words.TO_YOU) + r")(?:你|您)(?![们的" + words.KIN_AFTER_YOU +
                     r"])(?![^，。！？,!?]{0,8}了)")  # "发你", not "发你们", "跟你妈" or "发你了"
_ENGLISH_PROMISE = re.compile("|".join(words.ENGLISH_PROMISES), re.I)
_WAITING = any_of(words.WAITING)
_DEFERRED = any_of(words.DEFERRED)
_DECISION_AWAITED = any_of([words.DECISION_AWAITED])
_OWN_LATER = any_of(words.OWN_LATER)
_OWN_AWAITS = any_of(words.OWN_AWAITS)
_REPORT_BACK = any_of([words.REPORT_BACK])
_REMINDER_LATER = any_of(words.REMINDER_LATER)


_APPROVAL = any_of(words.APPROVAL_FOR_ME)
_MY_PENDING = any_of([words.MY_REQUEST_PENDING])
_MINE_FAILED = any_of([words.MINE_FAILED])
_FAILED_ASKS = any_of(words.FAILED_ASKS)
_RSVP = any_of(words.RSVP)
_DUE_OF_MINE = re.compile(words.DUE_OF_MINE)
_DUE_LATER = any_of(words.DUE_LATER)
_RENEWAL = any_of(words.RENEWAL)
_OFFER = any_of(words.OFFER)
_RECOVERED = literal(words.RECOVERED)
_OWNER = literal(words.OWNER_LABELS)
_ALERT_SIGNS = any_of(words.ALERT_SIGNS)
_SHARED = re.compile(words.SHARED)
_MONEY_SETTLED = any_of(words.MONEY_SETTLED)



@dataclasses.dataclass(frozen=True)
class Sorting:
    """The lists a message belongs in and what ranks it there.  `due` orders to-dos (epoch seconds, None:
    no deadline seen; the message's own time when urgent)."""

    todo: bool = False  # asks something of the user
    follow_up: bool = False  # an open loop of the user's to come back to
    meeting: bool = False
    mine: bool = False  # names the user
    notice: bool = False  # a broadcast or announcement
    important: bool = False
    suspicious: bool = False  # looks like a scam or phishing; never a to-do
    topics: tuple[str, ...] = ()
    due: float | None = None
    urgent: bool = False  # asks for it now (立即, 马上, ASAP…) or an emergency: due at the message's own time
    stakes: bool = False  # an escalation, an outage, a family emergency, money or a decision about the user's work
    senior: bool = False  # a boss or a customer writes
    everyone: bool = False  # addressed to everyone: a broadcast
    watched: bool = False  # a to-do with one of the user's work keywords: ranked with a boss's requests


def _is_question(clause: str) -> bool:
    tail = clause.rstrip()[-6:]
    if (tail[-1:] in words.QUESTION_TAIL and _QUESTION_END.search(tail)) \
            or (_LATIN.search(clause) and _ENGLISH_REQUEST.search(clause)):
        return True
    return bool(_QUESTION_FORM.search(clause)) and not _SELF.search(clause)


def _asks(clause: str, self_topic: bool, direct: bool = False) -> bool:
    """Whether one clause asks the reader to do or answer something.  self_topic: an earlier clause
    had the sender as subject, which a following subjectless clause keeps ("我整理完，明天发群里").
    direct: a one-to-one chat, where "we must" takes the reader in ("这周我们必须把修复交付")."""
    if _CARE.search(clause) or _REMINDER.match(clause.strip()) or _WAIT_UNTIL.search(clause) \
            or _TELLING_NOW.match(clause) or _AWAITING_YOU.search(clause):  # "那就等你明天确认" waits
        return False
    if _is_question(clause) or (direct and _WE_MUST.search(clause)):
        return True
    you = bool(_YOU_VERB.search(clause) or _YOU_TOPIC.search(clause) or _YOU_MUST.search(clause))
    if (_SELF.search(clause) or _THIRD.search(clause)) and not you and not _YOU.search(clause):
        return False  # "我尽快处理", "我们需要再评估", "她过来帮忙带孩子"
    if _FORECAST.search(clause):
        return False
    if you or _REQUEST.search(clause) or _PLEASE.search(clause) or _NEED.search(clause):
        return True
    if self_topic or _ENDS_DONE.search(clause) or _IN_PROGRESS.search(clause) \
            or (_DONE.search(clause) and not _ONE_MOMENT.search(clause)):
        return False
    return bool(_ONE_MOMENT.search(clause) or _BA.search(clause) or _HEAD.search(clause)
                or (_SUGGESTION.search(clause) and not _DEFERRED.search(clause)))


def _request(parts: list[str], promised: list[bool], meeting: bool = False, direct: bool = False) -> tuple[bool, bool]:
    """(asks something, only asks a question) over the clauses of a message addressed to the user.
    In a meeting's message, being asked to attend is no request; a role in it or a question is.
    A clause that promises (promised, one flag a clause) asks nothing ("晚点发你过目")."""
    asked = question_only = False
    self_topic = False
    for clause, promise in zip(parts, promised):
        if meeting and ((ATTEND.search(clause) and not ROLE.search(clause) and not _is_question(clause))
                        or _OPTIONAL.search(clause)):
            continue  # attending, or anything optional ("你有空就来听听，不用准备"), is no request
        if promise:
            self_topic = True
            continue
        if _SELF.search(clause) and not _YOU.search(clause):
            self_topic = True  # a following subjectless clause keeps the sender as subject
        elif _YOU.search(clause):
            self_topic = False
        if _asks(clause, self_topic, direct):
            question_only = (not asked or question_only) and _is_question(clause)
            asked = True
    return asked, question_only


def _promise_clause(clause: str, own: bool = False) -> bool:
    """The clause promises something for later: "我今晚更新", "稍后发你"."""
    if _is_question(clause) or _NOT_PROMISE.search(clause) or _ENDS_DONE.search(clause) or _TELLING_NOW.match(clause):
        return False
    if not own and _TO_THE_GROUP.search(clause):
        return False
    return bool(_TO_YOU.search(clause) or _ENGLISH_PROMISE.search(clause) or _PROMISE_I_WILL.search(clause)
                or _PROMISE.search(clause) or (_LATER_SEND.search(clause) and not _YOU.search(clause)))


def _promised(parts: list[str], own: bool = False) -> list[bool]:
    """Which clauses promise something for later; a clause of its own after one about the sender
    keeps the sender as subject ("我约了师傅，后天上午过去")."""
    found = [_promise_clause(clause, own) for clause in parts]
    for i in range(1, len(parts)):
        if not found[i] and _SELF.search(parts[i - 1]) and _PROMISE_GOING.match(parts[i]):
            found[i] = True
    return found


def _promises(body: str, own: bool = False) -> bool:
    """The sender (or the user, in own words) will do something later."""
    return any(_promised(clauses(body), own))


def _own_plan(body: str) -> bool:
    """The user's own words plan something for later ("今晚我定位一下", "我今晚先把逻辑写了"), not a
    request or a question to someone else or to everyone, nor what is done ("已经确认过了")."""
    if _DONE.search(body) or _EVERYONE.search(body):
        return False
    return any(_OWN_LATER.search(clause) and not (_is_question(clause) or _PLEASE.search(clause)
                                                   or _REQUEST.search(clause) or _YOU.search(clause))
               for clause in clauses(body))


def _group_duty(body: str, meeting: bool) -> bool:
    """A duty of every member of a group: 交周报 by a date, 投票, 考试, stand-by for a release; in a
    meeting's message preparing for it ("大家提前把文档看一遍"), not attending."""
    if meeting and (_PREPARE.search(body) or _EACH_ROLE.search(body)):
        return not _CONDITIONAL.search(body)
    # "未完成的影响绩效" is a sanction, and "明早我把没填的名单发群里" the sender's own follow-up: no condition
    conditional = _CONDITIONAL.search(body) and any(_CONDITIONAL.search(_PENALTY.sub("", c))
                                                    for c in clauses(body) if not _SELF.search(c))
    if conditional or _INFO.search(body):
        return False
    if _STANDBY.search(body) or _ALL_NOW.search(body):
        return True
    if _is_question(body):
        return False
    dated = bool(_DATED.search(body))
    for clause in clauses(body):
        if _SELF.search(clause) or _DONE.search(clause) or _ANNOUNCE.search(clause) or _UNABLE.search(clause) \
                or (meeting and (ATTEND.search(clause) or _BEFORE_COMING.search(clause))):
            continue
        if dated and (_DUTY.search(clause) or (_EACH.search(clause) and _BA.search(clause))
                      or (_EVERYONE.search(clause) and (_ONE_MOMENT.search(clause) or _GROUP_ASK.search(clause)))):
            return True
    return False


def _owned(text: str, profile: Profile) -> bool:
    """A service names the user as the owner: "李明 的数据库账号将于 5 天后过期"."""
    hit = profile.find(text)
    return bool(hit) and text[hit.end():hit.end() + 3].lstrip().startswith(("的", "名下"))


def _due_of_mine(text: str) -> bool:
    """A service reminds the user of a bill or a renewal of theirs due later; an offer is none."""
    return bool(_DUE_OF_MINE.search(text) and _DUE_LATER.search(text) and _RENEWAL.search(text)) \
        and not _OFFER.search(text) and not _MONEY_SETTLED.search(text)


def _read_requests(r: Reading, event: Event) -> None:
    """Sets the to-do and follow-up flags: rules 1 to 5 of the module's description."""
    if r.own:  # the user's promise or plan, or the user waiting for an answer or putting it off
        r.follow_up = _promises(r.body, own=True) or _own_plan(r.body) \
            or bool(_AWAITING_YOU.search(r.body) or _DEFERRED.search(r.body) or _OWN_AWAITS.search(r.body))
        return
    if r.automated:
        # a service asks when the user must approve, owns what it reports (an alert @ of the user too),
        # or gives them a role in a meeting; what is over, unless it still asks something, does not
        text, address = r.text, r.address
        owner = address.owner or (address.named and bool(_OWNER.search(text) or _owned(text, r.profile)))
        later = bool(_REMINDER_LATER.search(text)) and not _ALERT_SIGNS.search(text)  # an alert firing is for now
        over = bool(_RECOVERED.search(text)) and not (_PLEASE.search(text) and not _INFO.search(text))
        # a calendar only tells invitees: a role, preparing or an answer asked of them is theirs
        role = r.meeting and ("你" in text or "您" in text or "请" in text) \
            and bool(ROLE.search(text) or _PREPARE.search(text) or _RSVP.search(text))
        failed = bool(_MINE_FAILED.search(text) and _FAILED_ASKS.search(text))  # "…停运，请及时办理改签或退票"
        r.todo = bool(_APPROVAL.search(text)) or ((owner or address.mentioned) and not later and not over) or role \
            or failed
        r.follow_up = bool(_MY_PENDING.search(text)) or (owner and later) or _due_of_mine(text)
        return
    me, body = r.address.me, r.body
    parts = clauses(body)
    promised = _promised(parts) if me else []
    # "…我转给李明"; in a group, a promise to 您 with no one named is to the user ("续保报价我下周发您")
    named_promise = not me and ((r.address.named and _promises(r.profile.as_you(body)))
                                or (not r.address.other and "您" in body and _promises(body)))
    r.follow_up = (any(promised) and not (r.meeting and MEETING_LINK.search(body))) or named_promise \
        or (me and bool(_REMINDER_OF_MINE.search(body) or _AWAITING_YOU.search(body))) \
        or ((me or "你" in body) and bool(_WAITING.search(body))) \
        or ((me or r.address.named) and bool(_DEFERRED.search(body))) or bool(_DECISION_AWAITED.search(body)) \
        or ("再" in body and bool(_REPORT_BACK.search(body)) and not _TO_THE_GROUP.search(body))
    if me:
        asked, r.question_only = _request(parts, promised, r.meeting, r.direct)
        # a problem reported to the user, an outage too ("@李明 退费接口 500 了")
        problem = bool(_PROBLEM.search(body) or (r.address.mentioned and _ALERT_PROBLEM.search(body))
                       or r.outage) \
            and not _SOLVED.search(body) and not _HANDLED.search(body)
        r.todo = (asked or problem or r.address.assigned) and not _INFO.search(body) \
            and not (r.address.everyone and _CONDITIONAL.search(body))  # a role's chore, unless optional or leisure
        if r.todo and r.follow_up:
            # a request is the user's to do now, not a loop to come back to ("你帮我拉一下，我晚点要看");
            # a promise or a wait with no request is a loop ("我在查了，有问题稍后告诉你"), and so is a
            # question the sender takes away to answer ("二期要不要加对接，我先跟蔡总汇报，明天给你消息")
            topic = r.question_only and "?" not in body and "？" not in body \
                and not (_YOU.search(body) or _ENGLISH_REQUEST.search(body)) \
                and all(_DELIBERATION.search(c) and not _REQUEST.search(c) for c in parts if _is_question(c))
            asked = asked and not topic
            r.todo, r.follow_up = asked, not asked
    elif not r.address.other and event.session_kind != "direct":
        r.todo = _group_duty(body, r.meeting)


def sort_message(event: Event, profile: Profile) -> Sorting:
    text = event.display_text.replace(DEMO_MARK.strip(), "").strip()
    topics = tuple(classify.topics_of(text))
    notice = words.NOTICE_TOPIC in topics
    own = is_own(event, profile)
    automated = not own and is_automated(event)
    if not own and is_suspicious(event, text):
        return Sorting(suspicious=True, notice=notice, topics=topics)
    if text[:1] in "[【" and _SHARED.match(text):  # a shared article's or video's title asks nothing of the user
        return Sorting(notice=notice, topics=topics)
    address, body = address_of(event, text, profile, automated)
    reading = Reading(text, profile, body, address, own, automated,
                       senior=not automated and is_senior(event),
                       meeting=is_meeting(text, event, automated), direct=event.session_kind == "direct",
                       outage=not own and is_outage(text))
    _read_requests(reading, event)
    todo, follow_up = reading.todo, reading.follow_up
    private = event.chat_target == "wechat"
    weight = weigh(reading, private)
    urgent = (todo and bool(_NOW.search(body)) and not _RELAXED.search(body)) or weight.emergency
    return Sorting(
        todo=todo,
        follow_up=follow_up,
        meeting=reading.meeting,
        # a service's notice that names the user (构建成功 提交者：李明) is for them only when it asks or reminds
        mine=address.named and not own and (not automated or todo or follow_up),
        notice=notice,
        important=weight.important,
        topics=topics,
        due=event.at.timestamp() if urgent else due_of(text, event.at) if (todo or follow_up) else None,
        urgent=urgent,
        stakes=weight.stakes,
        senior=reading.senior or (not own and not automated and is_customer(event, address)),
        everyone=address.everyone,
        watched=todo and profile.watched(text),
    )
