#include "store/ChatRules.h"

#include "common/TextPattern.h"
#include "store/KeywordList.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringView>
#include <algorithm>
#include <tuple>

namespace chatrules {

namespace {

using Events = QList<const BridgeEvent*>;

const KeywordList kMeetingQueryWords{u"开会",   u"会议",     u"参会",     u"与会",
                                     u"会要开", u"开什么会", u"会议名单", u"名单有没有我"};
const KeywordList kPersonalQueryWords{u"我",       u"我的",     u"本人",     u"自己",   u"@我",  u"提到我",
                                      u"和我相关", u"与我相关", u"有没有我", u"需要我", u"让我", u"找我"};
const KeywordList kMeetingWords{u"会议",   u"开会",     u"参会",     u"与会", u"例会", u"议程",
                                u"会议室", u"腾讯会议", u"飞书会议", u"Zoom", u"纪要", u"参会名单"};
const KeywordList kMeetingOverWords{u"昨天刚开会", u"已开会",   u"已经开会",
                                    u"开会推动",   u"会议纪要", u"纪要已"};
const KeywordList kMeetingAnnounceWords{u"参会名单", u"与会人员", u"参会人员",
                                        u"会议通知", u"腾讯会议", u"飞书会议"};
const KeywordList kMeetingTimeWords{u"召开", u"参加", u"参会", u"与会", u"会议室", u"议程", u"明天",
                                    u"今天", u"上午", u"下午", u"晚上", u"周一",   u"周二", u"周三",
                                    u"周四", u"周五", u"点",   u"：",   u":"};
const KeywordList kNoReplyWords{u"无需回复", u"不用回复", u"不需回复", u"无需回", u"不用回", u"收到即可"};
const KeywordList kBroadcastWords{u"@所有人", u"@全体", u"所有人", u"全体", u"通知", u"公告"};
const KeywordList kQuestionWords{u"吗", u"？", u"?", u"是否", u"有没有", u"要不要"};
const KeywordList kRequestWords{u"需要",     u"麻烦",   u"尽快",   u"截止",  u"请于",
                                u"流程到达", u"待处理", u"待确认", u"待回复"};
const KeywordList kDailyReportWords{u"日报", u"本日新增", u"今日新增"};
const KeywordList kActionWords({u"需要", u"确认", u"安排", u"处理", u"催",   u"尽快", u"明天",
                                u"本周", u"付款", u"回款", u"报修", u"审批", u"补充", u"提交",
                                u"发送", u"提供", u"登记", u"查看", u"协调", u"回复"},
                               Qt::CaseInsensitive);

// The characters that "\\d" and "\\s" match with Unicode properties: decimal digits (Nd),
// and separators (Z) plus tab, line feed, vertical tab, form feed, carriage return, next
// line and the Mongolian vowel separator.
bool isDigitChar(char32_t c)
{
    if (c < 0x80)
        return c >= u'0' && c <= u'9';
    return QChar::isDigit(c);
}

bool isSpaceChar(char32_t c)
{
    if (c < 0x80)
        return c == u' ' || (c >= 0x09 && c <= 0x0d);
    if (c >= 0x4e00 && c <= 0x9fff) // the common Han block: neither
        return false;
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return c == 0x85 || c == 0x180e;
    }
}

// The meeting tests read the session name and the text joined by one space. No keyword
// holds a space, so testing the two parts one by one gives the same answer without
// building the joined text.
bool meetingTextContains(const QString& session, const QString& content, const KeywordList& words)
{
    return words.foundIn(session) || words.foundIn(content);
}

const QRegularExpression& requestPattern()
{
    // 请 at the start or after a sentence mark or white space, but not 请假/请柬/请帖/请愿.
    static const QRegularExpression re = textPattern(QStringLiteral("(^|[，。；;:：\\s])请(?!假|柬|帖|愿)"));
    return re;
}

const QRegularExpression& selfProgressPattern()
{
    static const QRegularExpression re = textPattern(QStringLiteral(
        "(我|我们|本人).{0,6}(已|已经|持续|正在|会).{0,12}(跟进|关注|处理|协调|推动|确认|安排|沟通|邀请)"));
    return re;
}

// Duplicate key of an event: client, session, sender and the content key, absent
// fields as empty. Kept as separate fields so that a hyphen inside a session or sender
// name cannot make two different chats collide.
struct DuplicateKey
{
    QString chatTarget;
    QString sessionName;
    QString senderName;
    QString content;

    bool operator==(const DuplicateKey&) const = default;
};

size_t qHash(const DuplicateKey& key, size_t seed = 0) noexcept
{
    return qHashMulti(seed, key.chatTarget, key.sessionName, key.senderName, key.content);
}

Events dedupedPointers(const Events& events)
{
    Events kept;
    kept.reserve(events.size());
    QSet<DuplicateKey> seen;
    seen.reserve(events.size());
    for (const BridgeEvent* event : events) {
        const qsizetype before = seen.size();
        seen.insert(DuplicateKey{
            event->chatTarget.value_or(QString()), event->sessionName.value_or(QString()),
            event->senderName.value_or(QString()), normalizedContentKey(event->displayContent())});
        if (seen.size() != before)
            kept.append(event);
    }
    return kept;
}

template <typename Pred> Events filtered(const Events& events, Pred pred)
{
    Events out;
    for (const BridgeEvent* event : events) {
        if (pred(*event))
            out.append(event);
    }
    return out;
}

// Sorted messages by the sorting, the others by the keyword predicate.
bool isMeetingScheduleLike(const BridgeEvent& e)
{
    return e.sorting ? e.sorting->isListedMeeting() : isMeetingScheduleEvent(e);
}

bool isMeetingLike(const BridgeEvent& e)
{
    return e.sorting ? e.sorting->isListedMeeting() : isMeetingEvent(e);
}

// For the user: by the sorting it names the user or asks or awaits something of them.
bool isAboutUser(const BridgeEvent& e, const QStringList& aliases)
{
    if (e.sorting)
        return e.sorting->isMine() || e.sorting->isOpenTodo() || e.sorting->isOpenFollowUp();
    return eventMentionsUser(e, aliases);
}

// Where a message to do stands: sorted to-dos, then sorted follow-ups, each by due time; a
// message without sorting ranks with the to-dos that have no due time.
struct Urgency
{
    int kind = 0; // 0 to-do, 1 follow-up
    bool noDue = true;
    qint64 due = 0; // ms since the epoch

    bool operator<(const Urgency& o) const
    {
        return std::tie(kind, noDue, due) < std::tie(o.kind, o.noDue, o.due);
    }
};

Urgency urgencyOf(const BridgeEvent& e)
{
    Urgency u;
    if (!e.sorting)
        return u;
    u.kind = e.sorting->isOpenTodo() ? 0 : 1;
    if (const std::optional<QDateTime> due = e.sorting->dueTime()) {
        u.noDue = false;
        u.due = due->toMSecsSinceEpoch();
    }
    return u;
}

// The messages to do, most pressing first (a stable sort: equals keep their list order).
Events pressingFirst(Events todos)
{
    std::stable_sort(todos.begin(), todos.end(), [](const BridgeEvent* a, const BridgeEvent* b) {
        return urgencyOf(*a) < urgencyOf(*b);
    });
    return todos;
}

void appendEventLines(QStringList& lines, const Events& events)
{
    for (qsizetype i = 0; i < events.size() && i < kListLimit; ++i)
        lines.append(eventLine(*events.at(i)));
}

QString generalAnswer(const Events& pool, const QString& label, const QStringList& aliases, bool personal)
{
    Events working = pool;
    if (personal) {
        if (aliases.isEmpty()) {
            return QStringLiteral(
                "本地 AI 刚刚连接不稳定。我还不知道你的姓名/别名，不能可靠筛出“和我相关”的消息。"
                "请先到“设置与接入 -> 个人识别”填写姓名和常用简称。");
        }
        Events mine = filtered(pool, [&](const BridgeEvent& e) { return isAboutUser(e, aliases); });
        if (!mine.isEmpty())
            working = std::move(mine);
    }

    // With the core's sorting every message to do is ranked, not only the first few: the most
    // pressing may be an older one. Without it the first ones in list order are taken.
    const bool sorted = std::any_of(working.cbegin(), working.cend(),
                                    [](const BridgeEvent* e) { return e->sorting.has_value(); });
    Events todos;
    for (const BridgeEvent* event : working) {
        if (!sorted && todos.size() == kListLimit)
            break;
        if (isTodoEvent(*event))
            todos.append(event);
    }
    if (sorted)
        todos = pressingFirst(std::move(todos));

    QStringList lines;
    lines << QStringLiteral("本地 AI 刚刚连接不稳定，我先按已经读取到的") + label +
                 QStringLiteral("消息帮你整理。")
          << QString() << QStringLiteral("优先处理：");
    if (todos.isEmpty())
        lines << QStringLiteral("- 最近 7 天没有明显待办或催办。");
    else
        appendEventLines(lines, todos);
    lines << QString() << QStringLiteral("最近消息：");
    appendEventLines(lines, working);
    return lines.join(u'\n');
}

QString meetingAnswer(const Events& pool, const QString& label, const QStringList& aliases, bool personal)
{
    Events meetings = filtered(pool, isMeetingScheduleLike);
    if (meetings.isEmpty())
        meetings = filtered(pool, isMeetingLike);
    Events mine;
    if (!aliases.isEmpty())
        mine = filtered(meetings, [&](const BridgeEvent& e) { return isAboutUser(e, aliases); });

    QStringList lines;
    lines << QStringLiteral("本地 AI 刚刚连接不稳定，我先按已经读取到的") + label +
                 QStringLiteral("消息查会议。")
          << QString();
    if (personal) {
        if (aliases.isEmpty()) {
            lines << QStringLiteral("我还不知道你的姓名/别名，不能可靠判断名单里有没有你。请到“设置与接入 -> "
                                    "个人识别”填一下。")
                  << QString();
        } else if (!mine.isEmpty()) {
            lines << QStringLiteral("可能与你有关的会议/名单：");
            appendEventLines(lines, mine);
            return lines.join(u'\n');
        } else if (!meetings.isEmpty()) {
            // With no meeting at all the heading below would promise a list that is not
            // there; the no-meeting sentence is given instead.
            lines << QStringLiteral("没有看到明确点到你的会议名单；先列出最近会议相关消息供你确认：");
            appendEventLines(lines, meetings);
            return lines.join(u'\n');
        }
    }
    if (meetings.isEmpty()) {
        lines << QStringLiteral("最近 7 天没有识别到明确会议、参会名单或会议纪要。");
    } else {
        lines << QStringLiteral("会议相关消息：");
        appendEventLines(lines, meetings);
    }
    return lines.join(u'\n');
}

} // namespace

std::optional<QString> chatTargetIntent(const QString& question)
{
    if (question.contains(u"企业微信") || question.contains(u"企微") ||
        question.contains(u"wecom", Qt::CaseInsensitive) || question.contains(u"wework", Qt::CaseInsensitive))
        return QStringLiteral("wecom");
    if (question.contains(u"微信"))
        return QStringLiteral("wechat");
    return std::nullopt;
}

bool isMeetingQuery(const QString& question)
{
    return kMeetingQueryWords.foundIn(question);
}

bool isPersonalQuery(const QString& question)
{
    return kPersonalQueryWords.foundIn(question);
}

QStringList currentUserAliases(const std::optional<BridgeStateResponse>& state)
{
    std::optional<UserProfileSnapshot> profile;
    if (state && state->config)
        profile = state->config->userProfile;

    QStringList entries{profile && profile->displayName ? *profile->displayName : QString()};
    if (profile && profile->aliases)
        entries += *profile->aliases;

    QStringList aliases;
    for (const QString& entry : std::as_const(entries)) {
        const QString trimmed = entry.trimmed();
        if (!trimmed.isEmpty() && !aliases.contains(trimmed))
            aliases.append(trimmed);
    }
    return aliases;
}

QString normalizedContentKey(const QString& text)
{
    // One pass doing what replacing "\\d+" with "#" and then deleting "\\s+" does: every
    // key of the duplicate rule goes through here, so it avoids the regex engine.
    QString key;
    key.reserve(text.size());
    bool inDigits = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar unit = text.at(i);
        char32_t c = unit.unicode();
        const bool pair = unit.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate();
        if (pair)
            c = QChar::surrogateToUcs4(unit, text.at(i + 1));
        if (isDigitChar(c)) {
            if (!inDigits)
                key += u'#';
            inDigits = true;
        } else {
            inDigits = false;
            if (!isSpaceChar(c)) {
                key += unit;
                if (pair)
                    key += text.at(i + 1);
            }
        }
        if (pair)
            ++i;
    }
    return key;
}

QList<BridgeEvent> dedupedEvents(const QList<BridgeEvent>& events)
{
    Events pointers;
    pointers.reserve(events.size());
    for (const BridgeEvent& event : events)
        pointers.append(&event);
    QList<BridgeEvent> out;
    for (const BridgeEvent* event : dedupedPointers(pointers))
        out.append(*event);
    return out;
}

bool isMeetingEvent(const BridgeEvent& event)
{
    return meetingTextContains(event.sessionName.value_or(QString()), event.displayContent(), kMeetingWords);
}

bool isMeetingScheduleEvent(const BridgeEvent& event)
{
    const QString session = event.sessionName.value_or(QString());
    const QString content = event.displayContent();
    // Every "over" and "announce" keyword holds a meeting keyword, so a text without any
    // meeting keyword is decided first; the order of the rules is otherwise kept.
    if (!meetingTextContains(session, content, kMeetingWords))
        return false;
    if (meetingTextContains(session, content, kMeetingOverWords))
        return false;
    if (meetingTextContains(session, content, kMeetingAnnounceWords))
        return true;
    return meetingTextContains(session, content, kMeetingTimeWords);
}

bool eventMentionsUser(const BridgeEvent& event, const QStringList& aliases)
{
    const QString session = event.sessionName.value_or(QString());
    const QString sender = event.senderName.value_or(QString());
    const QString content = event.displayContent();
    QString joined; // session + " " + sender + " " + content, built only for aliases with a space
    for (const QString& alias : aliases) {
        if (alias.isEmpty()) // an empty alias would match every message
            continue;
        if (alias.contains(u' ')) {
            if (joined.isEmpty())
                joined = session + u' ' + sender + u' ' + content;
            if (joined.contains(alias, Qt::CaseInsensitive))
                return true;
        } else if (session.contains(alias, Qt::CaseInsensitive) ||
                   sender.contains(alias, Qt::CaseInsensitive) ||
                   content.contains(alias, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return content.contains(u"@我") || content.contains(u"@了你");
}

bool isLowPriorityNotice(const QString& text)
{
    if (kNoReplyWords.foundIn(text))
        return true;
    return kBroadcastWords.foundIn(text) && !kQuestionWords.foundIn(text);
}

bool hasExplicitRequestMarker(const QString& text)
{
    return kRequestWords.foundIn(text) || requestPattern().match(regexSubject(text)).hasMatch();
}

bool isSelfProgress(const QString& text)
{
    return selfProgressPattern().match(regexSubject(text)).hasMatch();
}

bool isTodoText(const QString& text)
{
    if (isLowPriorityNotice(text))
        return false;
    const bool explicitRequest = hasExplicitRequestMarker(text);
    if (!explicitRequest && kDailyReportWords.foundIn(text))
        return false;
    if (!explicitRequest && isSelfProgress(text))
        return false;
    if (explicitRequest)
        return true;
    return kActionWords.foundIn(text);
}

bool isTodoEvent(const BridgeEvent& event)
{
    if (event.sorting)
        return event.sorting->isOpenTodo() || event.sorting->isOpenFollowUp();
    return isTodoText(event.displayContent());
}

QString eventLine(const BridgeEvent& event)
{
    return QStringLiteral("- ") + event.targetLabel() + u'｜' +
           event.sessionName.value_or(QStringLiteral("未命名会话")) + u'：' + event.displayContent();
}

QString localFallbackAnswer(const QString& question, const QList<BridgeEvent>& events,
                            const std::optional<BridgeStateResponse>& state)
{
    const std::optional<QString> intent = chatTargetIntent(question);
    const QStringList aliases = currentUserAliases(state);
    const bool meeting = isMeetingQuery(question);
    const bool personal = isPersonalQuery(question);

    Events scoped;
    scoped.reserve(events.size());
    for (const BridgeEvent& event : events) {
        if ((!intent || event.chatTarget == intent) && (!event.sorting || event.sorting->isListed()))
            scoped.append(&event);
    }
    const Events pool = dedupedPointers(scoped);

    QString label = QStringLiteral("微信和企业微信");
    if (intent == QStringLiteral("wecom"))
        label = QStringLiteral("企业微信");
    else if (intent == QStringLiteral("wechat"))
        label = QStringLiteral("微信");

    if (pool.isEmpty()) {
        return QStringLiteral("本地 AI 刚刚连接不稳定，我先检查了当前已加载的消息：这里还没有可用于回答的") +
               label + QStringLiteral("记录。请点右上角刷新，或确认对应客户端通知/读取权限已开启。");
    }
    return meeting ? meetingAnswer(pool, label, aliases, personal)
                   : generalAnswer(pool, label, aliases, personal);
}

} // namespace chatrules
