#include "ui/overview/logic/DashboardDerivations.h"

#include "common/TextPattern.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <limits>

namespace dashboard {

namespace {

constexpr qsizetype kMaxTodos = 6;
constexpr qsizetype kMaxTodosFromMessages = 3;
constexpr qsizetype kMaxImportant = 8;
constexpr qsizetype kMaxMeetingRows = 3;
constexpr qsizetype kMaxSuggestions = 2;

const SummarySnapshot* summaryOf(const State& state)
{
    return state && state->summary ? &*state->summary : nullptr;
}

QStringList listOr(const std::optional<QStringList>& list)
{
    return list.value_or(QStringList());
}

QString joinLines(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// A leading part ending in an ISO 8601 date-time, ")" and a colon: "张三 (2024-05-01T10:00:00+08:00)：".
const QRegularExpression& isoPrefix()
{
    static const QRegularExpression re = textPattern(QStringLiteral(
        "^.*?\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(?:Z|[+-]\\d{2}:?\\d{2})?\\)\\s*[:：]\\s*"));
    return re;
}

// A leading label of 1 to 24 characters without a colon, then a colon: "提醒：". A colon with a
// digit on both sides is a clock time ("明天10:00开会"), not the end of a label.
const QRegularExpression& labelPrefix()
{
    static const QRegularExpression re =
        textPattern(QStringLiteral("^[^:：]{1,24}(?:(?<!\\d)[:：]|[:：](?!\\d))\\s*"));
    return re;
}

QString removeFirstMatch(const QString& text, const QRegularExpression& re)
{
    const QRegularExpressionMatch m = re.match(regexSubject(text));
    if (!m.hasMatch())
        return text;
    QString out = text;
    out.remove(m.capturedStart(), m.capturedLength());
    return out;
}

QString orEmpty(const std::optional<QString>& s)
{
    return s.value_or(QString());
}

// A loaded message a card may show: not one the core sorts as a scam or excluded.
bool isListed(const BridgeEvent& event)
{
    return !event.sorting || event.sorting->isListed();
}

// The first `n` messages a card may show.
QList<BridgeEvent> firstListed(const QList<BridgeEvent>& events, qsizetype n)
{
    QList<BridgeEvent> out;
    for (qsizetype i = 0; i < events.size() && out.size() < n; ++i) {
        if (isListed(events.at(i)))
            out.append(events.at(i));
    }
    return out;
}

// What ties a message to a highlight: session, sender and text, kept apart so that a "-"
// inside a name cannot make two different messages meet ("项目" + "周会-张三" is not
// "项目-周会" + "张三").
struct HighlightKey
{
    QString session;
    QString sender;
    QString text;

    bool operator==(const HighlightKey&) const = default;
    // The three lengths; equal keys have equal shapes.
    quint64 shape() const
    {
        auto bits = [](qsizetype n) { return quint64(std::min<qsizetype>(n, 0x1fffff)); };
        return bits(session.size()) << 42 | bits(sender.size()) << 21 | bits(text.size());
    }
};

size_t qHash(const HighlightKey& key, size_t seed = 0) noexcept
{
    return qHashMulti(seed, key.session, key.sender, key.text);
}

} // namespace

QString followUpPlaceholder()
{
    return QStringLiteral("最近没有明确稍后处理事项");
}

QString meetingPlaceholder()
{
    return QStringLiteral("还没有会议记录");
}

QStringList suggestionPlaceholders()
{
    return {QStringLiteral("先刷新消息，再查看最近重点"), QStringLiteral("确认微信和企业微信读取规则")};
}

QString unnamedSession()
{
    return QStringLiteral("未命名会话");
}

QStringList unique(const QStringList& items)
{
    QStringList out;
    out.reserve(items.size());
    QSet<QString> seen;
    seen.reserve(items.size());
    for (const QString& item : items) {
        if (!seen.contains(item)) {
            seen.insert(item);
            out.append(item);
        }
    }
    return out;
}

QString cleanedText(const QString& text)
{
    QString s = text;
    s.remove(QStringLiteral("企业微信｜"));
    s.remove(QStringLiteral("微信｜"));
    s = joinLines(std::move(s)).trimmed();
    s = removeFirstMatch(s, isoPrefix());
    s = removeFirstMatch(s, labelPrefix());
    return s.trimmed();
}

bool isMeetingText(const QString& text)
{
    // Every word holds 会, 纪 or 议: a text without them is settled by three fast character scans.
    if (!text.contains(QChar(u'会')) && !text.contains(QChar(u'纪')) && !text.contains(QChar(u'议')))
        return false;
    static const QStringList words = {
        QStringLiteral("会议"),     QStringLiteral("开会"),     QStringLiteral("参会"),
        QStringLiteral("与会"),     QStringLiteral("例会"),     QStringLiteral("纪要"),
        QStringLiteral("议程"),     QStringLiteral("会议室"),   QStringLiteral("腾讯会议"),
        QStringLiteral("飞书会议"), QStringLiteral("参会名单"),
    };
    for (const QString& word : words) {
        if (text.contains(word, Qt::CaseSensitive))
            return true;
    }
    return false;
}

QString dueLabel(const QString& rawItem)
{
    static const QStringList words = {QStringLiteral("今天"), QStringLiteral("明天"), QStringLiteral("下午"),
                                      QStringLiteral("上午")};
    for (const QString& word : words) {
        if (rawItem.contains(word))
            return word;
    }
    return QStringLiteral("待确认");
}

QList<DashboardTask> todoItems(const State& state, const QList<BridgeEvent>& events)
{
    QList<DashboardTask> tasks;
    const SummarySnapshot* summary = summaryOf(state);
    if (!summary) {
        for (const BridgeEvent& e : events) {
            if (tasks.size() == kMaxTodosFromMessages)
                break;
            if (!isListed(e))
                continue;
            const QString content = e.displayContent();
            tasks.append({content, joinLines(content), e.sentAt.value_or(QStringLiteral("最近"))});
        }
        return tasks;
    }
    // A loaded digest with no items means "nothing to do": the messages are not used then. With
    // counts (a current core) the follow-ups stay in their own card, as under the presets.
    const QStringList items = summary->counts
                                  ? unique(listOr(summary->actionItems))
                                  : unique(listOr(summary->actionItems) + listOr(summary->followUps));
    const qsizetype n = std::min(kMaxTodos, items.size());
    tasks.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const QString& item = items.at(i);
        tasks.append({item, cleanedText(item), dueLabel(item)});
    }
    return tasks;
}

QList<BridgeEvent> importantEvents(const State& state, const QList<BridgeEvent>& events)
{
    const SummarySnapshot* summary = summaryOf(state);
    if (summary && summary->counts) {
        // The highlights themselves: they need not be among the loaded messages.
        QList<BridgeEvent> out;
        for (const HighlightSnapshot& h : summary->highlights.value_or(QList<HighlightSnapshot>())) {
            if (out.size() == kMaxImportant)
                break;
            out.append(highlightEvent(h));
        }
        return out;
    }
    if (!summary || !summary->highlights || summary->highlights->isEmpty())
        return firstListed(events, kMaxImportant);

    // A message whose three field lengths no highlight has is skipped without hashing.
    QSet<HighlightKey> keys;
    QSet<quint64> shapes;
    keys.reserve(summary->highlights->size());
    for (const HighlightSnapshot& h : *summary->highlights) {
        HighlightKey key{orEmpty(h.sessionName), orEmpty(h.senderName), orEmpty(h.content)};
        shapes.insert(key.shape());
        keys.insert(std::move(key));
    }

    QList<BridgeEvent> kept;
    for (const BridgeEvent& e : events) {
        HighlightKey key{orEmpty(e.sessionName), orEmpty(e.senderName), e.displayContent()};
        if (shapes.contains(key.shape()) && keys.contains(key) && isListed(e)) {
            kept.append(e);
            if (kept.size() == kMaxImportant)
                break;
        }
    }
    return kept.isEmpty() ? firstListed(events, kMaxImportant) : kept;
}

QStringList meetingRows(const State& state, const QList<BridgeEvent>& events)
{
    const SummarySnapshot* summary = summaryOf(state);
    if (summary && summary->meetingItems) {
        QStringList rows = unique(*summary->meetingItems);
        if (!rows.isEmpty()) {
            rows = rows.mid(0, kMaxMeetingRows);
            for (QString& row : rows)
                row = cleanedText(row);
            return rows;
        }
    }
    if (summary && summary->counts)
        return {meetingPlaceholder()}; // the core found no meeting: keyword guesses would disagree

    QStringList sessions;
    for (const BridgeEvent& e : events) {
        if (!isListed(e))
            continue;
        // Same as testing "session + ' ' + text": no meeting word holds a space, so none can
        // match across the joint.
        if (isMeetingText(orEmpty(e.sessionName)) || isMeetingText(e.displayContent())) {
            const QString name = orEmpty(e.sessionName);
            sessions.append(name.isEmpty() ? unnamedSession() : name);
            if (sessions.size() == kMaxMeetingRows)
                break;
        }
    }
    if (sessions.isEmpty())
        return {meetingPlaceholder()};
    return unique(sessions);
}

QStringList followUpItems(const State& state)
{
    const SummarySnapshot* summary = summaryOf(state);
    QStringList rows = summary ? unique(listOr(summary->followUps)) : QStringList();
    if (rows.isEmpty())
        return {followUpPlaceholder()};
    for (QString& row : rows)
        row = cleanedText(row);
    return rows;
}

QStringList suggestionItems(const QList<DashboardTask>& todos)
{
    if (todos.isEmpty())
        return suggestionPlaceholders();
    QStringList out;
    for (qsizetype i = 0; i < std::min(kMaxSuggestions, todos.size()); ++i)
        out.append(todos.at(i).text);
    return out;
}

qint64 totalMessages(const State& state, const QList<BridgeEvent>& events)
{
    const SummarySnapshot* summary = summaryOf(state);
    if (summary && summary->totalMessages)
        return *summary->totalMessages;
    return events.size();
}

int meetingCount(const QStringList& rows)
{
    if (rows.size() == 1 && rows.first() == meetingPlaceholder())
        return 0;
    return int(rows.size());
}

int followUpCount(const QStringList& rows)
{
    if (rows.size() == 1 && rows.first() == followUpPlaceholder())
        return 0;
    return int(rows.size());
}

const SummaryCounts* countsOf(const State& state)
{
    const SummarySnapshot* summary = summaryOf(state);
    return summary && summary->counts ? &*summary->counts : nullptr;
}

int titleCount(const std::optional<qint64>& coreCount, qsizetype rows)
{
    if (!coreCount)
        return int(rows);
    return int(std::clamp<qint64>(*coreCount, rows, std::numeric_limits<int>::max()));
}

BridgeEvent highlightEvent(const HighlightSnapshot& highlight)
{
    BridgeEvent e;
    e.chatTarget = highlight.chatTarget;
    e.sessionName = highlight.sessionName;
    e.senderName = highlight.senderName;
    e.sentAt = highlight.sentAt;
    e.content = highlight.content;
    return e;
}

DashboardContent derive(const State& state, const QList<BridgeEvent>& events)
{
    DashboardContent c;
    c.todoItems = todoItems(state, events);
    c.importantEvents = importantEvents(state, events);
    c.meetingRows = meetingRows(state, events);
    c.followUpItems = followUpItems(state);
    c.suggestionItems = suggestionItems(c.todoItems);
    c.totalMessages = totalMessages(state, events);
    const SummaryCounts* counts = countsOf(state);
    auto count = [counts](qint64 SummaryCounts::*field) {
        return counts ? std::optional<qint64>(counts->*field) : std::nullopt;
    };
    c.todoCount = titleCount(count(&SummaryCounts::todo), c.todoItems.size());
    c.importantCount = titleCount(count(&SummaryCounts::important), c.importantEvents.size());
    c.meetingCount = titleCount(count(&SummaryCounts::meeting), meetingCount(c.meetingRows));
    c.followUpCount = titleCount(count(&SummaryCounts::followUp), followUpCount(c.followUpItems));
    c.attentionCount = counts ? counts->needsYou : c.totalMessages;
    return c;
}

} // namespace dashboard
