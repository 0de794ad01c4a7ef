// The timeline filter, its search and the dashboard derivations on arbitrary messages, states
// and queries. The results are compared with plain readings of the rules (no keyword-set
// shortcuts, no precomputed keys), and the regular expressions must treat an unpaired
// surrogate like any other character that is no keyword.

#include "FuzzScenario.h"
#include "ui/messages/logic/MessageFilter.h"
#include "ui/overview/logic/DashboardDerivations.h"
#include "ui/overview/logic/OverviewTexts.h"

#include <QSet>

namespace {

using namespace Qt::StringLiterals;
using State = std::optional<BridgeStateResponse>;

bool containsAnyIgnoringCase(const QString& text, const QStringList& tokens)
{
    for (const QString& token : tokens) {
        if (text.contains(token, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool passesNotice(const QString& d)
{
    using namespace messagefilter;
    if (containsAnyIgnoringCase(d, noReplyWords()))
        return false;
    return !containsAnyIgnoringCase(d, broadcastWords()) || containsAnyIgnoringCase(d, questionWords());
}

bool equalsHighlight(const BridgeEvent& e, const State& state)
{
    for (const HighlightSnapshot& h : state->summary->highlights.value()) {
        if (h.sessionName == e.sessionName && h.senderName == e.senderName && h.content == e.displayContent())
            return true;
    }
    return false;
}

// Neither a scam nor excluded, the flags read as the wire has them (absent: false).
bool listed(const BridgeEvent& e)
{
    return !e.sorting || (!e.sorting->suspicious && e.sorting->excluded != true);
}

bool presetMatches(const BridgeEvent& e, MessageListPreset preset, const State& state)
{
    using namespace messagefilter;
    const bool highlights =
        state && state->summary && state->summary->highlights && !state->summary->highlights->isEmpty();
    const QString d = e.displayContent();
    if (const std::optional<EventSorting>& s = e.sorting) {
        const bool open = listed(e) && s->done != true;
        const QList<bool> byPreset{true, s->todo && open,
                                   (s->important && open) ||
                                       (listed(e) && highlights && equalsHighlight(e, state)),
                                   s->meeting && listed(e), s->followUp && open};
        return byPreset[int(preset)];
    }
    switch (preset) {
    case MessageListPreset::All:
        return true;
    case MessageListPreset::Todo:
        return containsAnyIgnoringCase(d, requestWords()) && passesNotice(d);
    case MessageListPreset::Important:
        return highlights ? equalsHighlight(e, state) : passesNotice(d);
    case MessageListPreset::Meeting:
        return containsAnyIgnoringCase(e.sessionName.value_or(QString()) + u' ' + d, meetingWords());
    case MessageListPreset::FollowUp:
        return containsAnyIgnoringCase(d, followUpWords());
    }
    return false;
}

void checkFilter(const QList<BridgeEvent>& events, const State& state, const QString& target,
                 const QString& query)
{
    const QStringList keys = messagefilter::searchKeys(query);
    for (MessageListPreset preset : messagepreset::all()) {
        QList<BridgeEvent> expected;
        for (const BridgeEvent& e : events) {
            if ((target == QLatin1String("all") || e.chatTarget == target) &&
                presetMatches(e, preset, state) && messagefilter::matchesSearch(e, keys))
                expected.append(e);
        }
        FUZZ_CHECK(messagefilter::filteredEvents(events, state, preset, target, query) == expected);
    }
}

// The search key is cut into pieces and drops marks past the 30th in a row, to stay linear;
// otherwise it is the whole text's compatibility normalisation, case-folded.
void checkSearchKey(const QString& text)
{
    if (text.size() > 2048)
        return; // normalising the whole text at once is what is too slow
    int marks = 0;
    for (char32_t c : QStringView(text).toUcs4()) {
        marks = QChar::isMark(c) ? marks + 1 : 0;
        if (marks > 30)
            return;
    }
    FUZZ_CHECK(messagefilter::searchKey(text) ==
               text.normalized(QString::NormalizationForm_KC).toCaseFolded());
}

void checkSearchRanges(const QString& text, const QString& query)
{
    qsizetype end = 0;
    for (const messagefilter::TextRange& r : messagefilter::searchMatches(text, query)) {
        FUZZ_CHECK(r.length > 0 && r.start >= end && r.start + r.length <= text.size());
        end = r.start + r.length;
    }
}

void checkCleanedText(const QString& text)
{
    const QString cleaned = dashboard::cleanedText(text);
    FUZZ_CHECK(cleaned == cleaned.trimmed());
    // Deleting "｜" runs could join two halves of a pair; otherwise an unpaired surrogate is a
    // character like any other.
    if (!text.contains(u'｜'))
        FUZZ_CHECK(dashboard::cleanedText(withoutUnpairedSurrogates(text)) ==
                   withoutUnpairedSurrogates(cleaned));
}

bool isMeetingText(const QString& text)
{
    static const QStringList words{u"会议"_s,     u"开会"_s,     u"参会"_s,    u"与会"_s,
                                   u"例会"_s,     u"纪要"_s,     u"议程"_s,    u"会议室"_s,
                                   u"腾讯会议"_s, u"飞书会议"_s, u"参会名单"_s};
    for (const QString& word : words) {
        if (text.contains(word))
            return true;
    }
    return false;
}

QList<BridgeEvent> listedOnly(const QList<BridgeEvent>& events)
{
    QList<BridgeEvent> out;
    for (const BridgeEvent& e : events) {
        if (listed(e))
            out.append(e);
    }
    return out;
}

QList<BridgeEvent> importantEvents(const State& state, const QList<BridgeEvent>& all)
{
    const auto& highlights = state && state->summary ? state->summary->highlights : std::nullopt;
    if (state && state->summary && state->summary->counts) { // the highlights themselves
        QList<BridgeEvent> out;
        for (const HighlightSnapshot& h : highlights.value_or(QList<HighlightSnapshot>()).mid(0, 8))
            out.append(dashboard::highlightEvent(h));
        return out;
    }
    const QList<BridgeEvent> events = listedOnly(all);
    if (!highlights || highlights->isEmpty())
        return events.mid(0, 8);
    QSet<QString> keys;
    for (const HighlightSnapshot& h : *highlights)
        keys << h.sessionName.value_or(QString()) + u'-' + h.senderName.value_or(QString()) + u'-' +
                    h.content.value_or(QString());
    QList<BridgeEvent> kept;
    for (const BridgeEvent& e : events) {
        if (keys.contains(e.sessionName.value_or(QString()) + u'-' + e.senderName.value_or(QString()) + u'-' +
                          e.displayContent()))
            kept.append(e);
    }
    return (kept.isEmpty() ? events : kept).mid(0, 8);
}

QStringList meetingRows(const State& state, const QList<BridgeEvent>& all)
{
    QStringList items = dashboard::unique(
        state && state->summary ? state->summary->meetingItems.value_or(QStringList()) : QStringList());
    if (!items.isEmpty()) {
        items = items.mid(0, 3);
        for (QString& item : items)
            item = dashboard::cleanedText(item);
        return items;
    }
    if (state && state->summary && state->summary->counts)
        return {u"还没有会议记录"_s};
    const QList<BridgeEvent> events = listedOnly(all);
    QStringList sessions;
    for (const BridgeEvent& e : events) {
        if (isMeetingText(e.sessionName.value_or(QString()) + u' ' + e.displayContent()))
            sessions << (e.sessionName.value_or(QString()).isEmpty() ? u"未命名会话"_s : *e.sessionName);
    }
    return sessions.isEmpty() ? QStringList{u"还没有会议记录"_s} : dashboard::unique(sessions.mid(0, 3));
}

void checkDashboard(const State& state, const QList<BridgeEvent>& events)
{
    const DashboardContent c = dashboard::derive(state, events);
    const SummarySnapshot* summary = state && state->summary ? &*state->summary : nullptr;
    const SummaryCounts* counts = summary && summary->counts ? &*summary->counts : nullptr;
    if (summary) {
        // With counts (a current core) the follow-ups keep to their own card.
        const QStringList items =
            dashboard::unique(summary->actionItems.value_or(QStringList()) +
                              (counts ? QStringList() : summary->followUps.value_or(QStringList())));
        FUZZ_CHECK(c.todoItems.size() == std::min<qsizetype>(items.size(), 6));
        for (qsizetype i = 0; i < c.todoItems.size(); ++i) {
            FUZZ_CHECK(c.todoItems[i].rawText == items[i]);
            FUZZ_CHECK(c.todoItems[i].text == dashboard::cleanedText(items[i]));
        }
    } else {
        const QList<BridgeEvent> shown = listedOnly(events);
        FUZZ_CHECK(c.todoItems.size() == std::min<qsizetype>(shown.size(), 3));
        for (qsizetype i = 0; i < c.todoItems.size(); ++i)
            FUZZ_CHECK(c.todoItems[i].rawText == shown[i].displayContent());
    }
    // A title counts the core's number when there is one, never fewer than the card's rows.
    auto title = [&](qint64 core, qsizetype rows) {
        return counts ? int(std::max<qint64>(core, rows)) : int(rows);
    };
    FUZZ_CHECK(c.todoCount == title(counts ? counts->todo : 0, c.todoItems.size()));
    FUZZ_CHECK(c.importantCount == title(counts ? counts->important : 0, c.importantEvents.size()));
    FUZZ_CHECK(c.attentionCount == (counts ? counts->needsYou : c.totalMessages));
    FUZZ_CHECK(c.importantEvents == importantEvents(state, events));
    FUZZ_CHECK(c.meetingRows == meetingRows(state, events));
    FUZZ_CHECK(!c.followUpItems.isEmpty());
    FUZZ_CHECK(c.suggestionItems.size() == (c.todoItems.size() == 1 ? 1 : 2));
    FUZZ_CHECK(counts || (c.meetingCount <= 3 && c.followUpCount <= c.followUpItems.size()));
    FUZZ_CHECK(c.totalMessages ==
               (summary && summary->totalMessages ? *summary->totalMessages : events.size()));

    for (const DashboardTask& task : c.todoItems) {
        checkCleanedText(task.rawText);
        const QString line = overviewtext::singleLine(task.text);
        for (QChar lineBreak : {u'\n', u'\r', u'\u2028', u'\u2029'})
            FUZZ_CHECK(!line.contains(lineBreak));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    QList<BridgeEvent> events = fuzzscenario::readEvents(in);
    State state = fuzzscenario::readState(in, events);
    const QString query = in.text();
    static constexpr std::array<const char16_t*, 3> targets{u"all", u"wechat", u"wecom"};
    const QString target = in.oneOf(targets);
    fuzzscenario::readSortings(in, events, state);

    checkFilter(events, state, target, query);
    for (qsizetype i = 0; i < events.size() && i < 8; ++i) {
        checkSearchRanges(events[i].displayContent(), query);
        checkSearchRanges(events[i].sessionName.value_or(QString()), query);
        checkSearchKey(events[i].displayContent());
    }
    checkSearchKey(query);
    checkDashboard(state, events);
    return 0;
}
