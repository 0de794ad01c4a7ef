#include "ui/messages/logic/MessageFilter.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <utility>

namespace messagefilter {

const QStringList& requestWords()
{
    static const QStringList words{
        QStringLiteral("需要"),   QStringLiteral("麻烦"),   QStringLiteral("尽快"),
        QStringLiteral("截止"),   QStringLiteral("请于"),   QStringLiteral("流程到达"),
        QStringLiteral("待处理"), QStringLiteral("待确认"), QStringLiteral("待回复"),
        QStringLiteral("确认"),   QStringLiteral("安排"),   QStringLiteral("处理"),
        QStringLiteral("提交"),   QStringLiteral("回复")};
    return words;
}

const QStringList& noReplyWords()
{
    static const QStringList words{QStringLiteral("无需回复"), QStringLiteral("不用回复"),
                                   QStringLiteral("无需回"), QStringLiteral("不用回"),
                                   QStringLiteral("收到即可")};
    return words;
}

const QStringList& broadcastWords()
{
    static const QStringList words{QStringLiteral("@所有人"), QStringLiteral("@全体"),
                                   QStringLiteral("所有人"),  QStringLiteral("全体"),
                                   QStringLiteral("通知"),    QStringLiteral("公告")};
    return words;
}

const QStringList& questionWords()
{
    static const QStringList words{QStringLiteral("吗"),     QStringLiteral("？"),
                                   QStringLiteral("?"),      QStringLiteral("是否"),
                                   QStringLiteral("有没有"), QStringLiteral("要不要")};
    return words;
}

const QStringList& meetingWords()
{
    static const QStringList words{
        QStringLiteral("会议"),     QStringLiteral("开会"),    QStringLiteral("参会"),
        QStringLiteral("与会"),     QStringLiteral("例会"),    QStringLiteral("纪要"),
        QStringLiteral("议程"),     QStringLiteral("会议室"),  QStringLiteral("腾讯会议"),
        QStringLiteral("飞书会议"), QStringLiteral("参会名单")};
    return words;
}

const QStringList& followUpWords()
{
    static const QStringList words{
        QStringLiteral("稍后"),   QStringLiteral("跟进"),   QStringLiteral("催"),
        QStringLiteral("提醒"),   QStringLiteral("确认"),   QStringLiteral("核实"),
        QStringLiteral("待处理"), QStringLiteral("待确认"), QStringLiteral("待回复")};
    return words;
}

namespace {

// A token made only of characters without letter case (Chinese characters, punctuation, digits)
// that no other character folds into: a case-sensitive search finds exactly what a
// case-insensitive one finds, several times faster.
bool isCaseless(const QString& token)
{
    for (const QChar c : token) {
        switch (c.category()) {
        case QChar::Letter_Other:
        case QChar::Number_DecimalDigit:
        case QChar::Punctuation_Connector:
        case QChar::Punctuation_Dash:
        case QChar::Punctuation_Open:
        case QChar::Punctuation_Close:
        case QChar::Punctuation_InitialQuote:
        case QChar::Punctuation_FinalQuote:
        case QChar::Punctuation_Other:
        case QChar::Separator_Space:
            if (c.toCaseFolded() != c || c.toUpper() != c || c.toLower() != c)
                return false;
            break;
        default:
            return false;
        }
    }
    return true;
}

// A keyword list with the comparison each of its tokens needs.
struct KeywordSet
{
    explicit KeywordSet(const QStringList& list) : tokens(list)
    {
        for (const QString& t : list)
            sensitivity.append(isCaseless(t) ? Qt::CaseSensitive : Qt::CaseInsensitive);
    }
    bool foundIn(const QString& text) const
    {
        for (qsizetype i = 0; i < tokens.size(); ++i) {
            if (text.contains(tokens[i], sensitivity[i]))
                return true;
        }
        return false;
    }
    QStringList tokens;
    QList<Qt::CaseSensitivity> sensitivity;
};

const KeywordSet& requestSet()
{
    static const KeywordSet set(requestWords());
    return set;
}
const KeywordSet& noReplySet()
{
    static const KeywordSet set(noReplyWords());
    return set;
}
const KeywordSet& broadcastSet()
{
    static const KeywordSet set(broadcastWords());
    return set;
}
const KeywordSet& questionSet()
{
    static const KeywordSet set(questionWords());
    return set;
}
const KeywordSet& meetingSet()
{
    static const KeywordSet set(meetingWords());
    return set;
}
const KeywordSet& followUpSet()
{
    static const KeywordSet set(followUpWords());
    return set;
}

} // namespace

bool containsAny(const QString& text, const QStringList& tokens)
{
    return KeywordSet(tokens).foundIn(text);
}

bool passesNoticeTest(const QString& displayContent)
{
    if (noReplySet().foundIn(displayContent))
        return false;
    return !broadcastSet().foundIn(displayContent) || questionSet().foundIn(displayContent);
}

namespace {

// The highlights of the state, or none when the important preset falls back to the notice test.
const QList<HighlightSnapshot>* highlightsOf(const std::optional<BridgeStateResponse>& state)
{
    if (!state || !state->summary || !state->summary->highlights || state->summary->highlights->isEmpty())
        return nullptr;
    return &*state->summary->highlights;
}

// Evaluates one preset over many events; the highlights are indexed by content once.
class PresetMatcher
{
public:
    PresetMatcher(MessageListPreset preset, const std::optional<BridgeStateResponse>& state)
        : m_preset(preset)
    {
        if (preset != MessageListPreset::Important)
            return;
        m_highlights = highlightsOf(state);
        if (!m_highlights)
            return;
        for (const HighlightSnapshot& h : *m_highlights) {
            if (h.content) // a highlight without content matches nothing
                m_byContent.insert(*h.content, &h);
        }
    }

    bool matches(const BridgeEvent& event) const
    {
        if (event.sorting)
            return matchesSorting(event, *event.sorting);
        switch (m_preset) {
        case MessageListPreset::All:
            return true;
        case MessageListPreset::Todo: {
            const QString d = event.displayContent();
            return requestSet().foundIn(d) && passesNoticeTest(d);
        }
        case MessageListPreset::Important:
            if (!m_highlights)
                return passesNoticeTest(event.displayContent());
            return equalsHighlight(event);
        case MessageListPreset::Meeting:
            return meetingSet().foundIn(event.sessionName.value_or(QString()) + QLatin1Char(' ') +
                                        event.displayContent());
        case MessageListPreset::FollowUp:
            return followUpSet().foundIn(event.displayContent());
        }
        return false;
    }

private:
    // The core's sorting decides: a scam or an excluded message is under 全部 alone. Under 重要 is
    // also what the digest highlights, so that the overview's card is found there.
    bool matchesSorting(const BridgeEvent& event, const EventSorting& s) const
    {
        switch (m_preset) {
        case MessageListPreset::All:
            return true;
        case MessageListPreset::Todo:
            return s.isOpenTodo();
        case MessageListPreset::Important:
            return s.isOpenImportant() || (s.isListed() && m_highlights && equalsHighlight(event));
        case MessageListPreset::Meeting:
            return s.isListedMeeting();
        case MessageListPreset::FollowUp:
            return s.isOpenFollowUp();
        }
        return false;
    }

    bool equalsHighlight(const BridgeEvent& event) const
    {
        const QString d = event.displayContent();
        for (auto it = m_byContent.constFind(d); it != m_byContent.cend() && it.key() == d; ++it) {
            const HighlightSnapshot& h = **it;
            // std::optional equality: absent equals only absent.
            if (h.sessionName == event.sessionName && h.senderName == event.senderName)
                return true;
        }
        return false;
    }

    MessageListPreset m_preset;
    const QList<HighlightSnapshot>* m_highlights = nullptr;
    QMultiHash<QString, const HighlightSnapshot*> m_byContent;
};

} // namespace

bool matchesPreset(const BridgeEvent& event, MessageListPreset preset,
                   const std::optional<BridgeStateResponse>& state)
{
    return PresetMatcher(preset, state).matches(event);
}

namespace {

// The code point at `i` and the UTF-16 units it takes (an unpaired surrogate is one of its own).
std::pair<char32_t, qsizetype> codePointAt(const QString& text, qsizetype i)
{
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return {QChar::surrogateToUcs4(text.at(i), text.at(i + 1)), 2};
    return {text.at(i).unicode(), 1};
}

// Normalisation sorts the combining marks that follow a character one by one, at a cost that
// grows with the square of their number. Writing systems put a few marks on a character; a
// message can stack thousands (so-called Zalgo text), which would stall the search on every
// keystroke. As in Unicode's stream-safe text format, a run keeps its first 30 marks.
constexpr qsizetype kMaxMarksInRow = 30;

QString withBoundedMarks(const QString& text)
{
    QString out; // stays null until a run is cut
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size();) {
        const auto [c, units] = codePointAt(text, i);
        run = QChar::isMark(c) ? run + 1 : 0;
        if (run > kMaxMarksInRow) {
            if (out.isNull())
                out = text.left(i);
        } else if (!out.isNull()) {
            out.append(text.constData() + i, units);
        }
        i += units;
    }
    return out.isNull() ? text : out;
}

// Whether the normalised text can be cut before `c`: a character that is no mark, never joins
// the character before it and does not decompose into one that does. Only the conjoining and
// compatibility Hangul jamo and the half-width voiced sound marks fall outside the marks.
bool startsSegment(char32_t c)
{
    if (c < 0x80)
        return true;
    if (QChar::isMark(c))
        return false;
    return !((c >= 0x1100 && c <= 0x11ff) || (c >= 0x3130 && c <= 0x318f) || (c >= 0xa960 && c <= 0xa97f) ||
             (c >= 0xd7b0 && c <= 0xd7ff) || (c >= 0xffa0 && c <= 0xffdc) || c == 0xff9e || c == 0xff9f);
}

// QString::normalized decomposes in place and moves the rest of the text for every character
// whose decomposition is longer ("…", "ﬃ"): quadratic in a long text of such characters.
// Normalising pieces of some 64 units, cut where nothing combines across, is linear.
QString normalizedKC(const QString& text)
{
    constexpr qsizetype kPiece = 64;
    if (text.size() <= kPiece)
        return text.normalized(QString::NormalizationForm_KC);
    QString out;
    out.reserve(text.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size();) {
        const auto [c, units] = codePointAt(text, i);
        if (i - start >= kPiece && startsSegment(c)) {
            out += text.mid(start, i - start).normalized(QString::NormalizationForm_KC);
            start = i;
        }
        i += units;
    }
    out += text.mid(start).normalized(QString::NormalizationForm_KC);
    return out;
}

} // namespace

QString searchKey(const QString& text)
{
    // Compatibility normalisation first: it can yield capitals (e.g. "ℌ"), which folding then lowers.
    return normalizedKC(withBoundedMarks(text)).toCaseFolded();
}

QStringList searchKeys(const QString& query)
{
    QStringList keys;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= query.size(); ++i) {
        if (i < query.size() && !query.at(i).isSpace()) {
            if (start < 0)
                start = i;
            continue;
        }
        if (start >= 0) {
            const QString key = searchKey(query.mid(start, i - start));
            if (!key.isEmpty())
                keys.append(key);
            start = -1;
        }
    }
    return keys;
}

bool matchesSearch(const BridgeEvent& event, const QStringList& keys)
{
    if (keys.isEmpty())
        return true;
    // The keys of session name, sender name and text, each made when a word first needs it.
    std::array<std::optional<QString>, 3> fields;
    const auto field = [&](int i) -> const QString& {
        if (!fields[i]) {
            if (i == 2)
                fields[i] = searchKey(event.displayContent());
            else if (const std::optional<QString>& raw = i == 0 ? event.sessionName : event.senderName)
                fields[i] = searchKey(*raw);
            else
                fields[i] = QString(); // an absent name matches no word
        }
        return *fields[i];
    };
    for (const QString& key : keys) {
        if (!field(0).contains(key) && !field(1).contains(key) && !field(2).contains(key))
            return false;
    }
    return true;
}

QList<BridgeEvent> filteredEvents(const QList<BridgeEvent>& events,
                                  const std::optional<BridgeStateResponse>& state, MessageListPreset preset,
                                  const QString& targetFilter, const QString& searchQuery)
{
    const bool allTargets = targetFilter == QLatin1String(targetAll);
    const PresetMatcher matcher(preset, state);
    const QStringList keys = searchKeys(searchQuery);
    if (allTargets && preset == MessageListPreset::All && keys.isEmpty())
        return events; // nothing narrows: share the list

    QList<BridgeEvent> out;
    for (const BridgeEvent& event : events) {
        if (!allTargets && event.chatTarget != targetFilter)
            continue;
        if (!matcher.matches(event))
            continue;
        if (!matchesSearch(event, keys))
            continue;
        out.append(event);
    }
    return out;
}

QList<TextRange> searchMatches(const QString& text, const QString& query)
{
    const QStringList needles = searchKeys(query);
    if (needles.isEmpty() || text.isEmpty())
        return {};

    // Normalise cluster by cluster (a base character with its combining marks) and remember, for
    // every unit of the normalised text, the cluster of `text` it came from.
    QString haystack;
    QList<qsizetype> clusterStart;
    QList<qsizetype> clusterEnd;
    haystack.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype begin = i;
        i += text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        while (i < text.size()) {
            const char32_t next =
                text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
                    ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                    : text.at(i).unicode();
            if (!QChar::isMark(next))
                break;
            i += QChar::requiresSurrogates(next) ? 2 : 1;
        }
        const QString key = searchKey(text.mid(begin, i - begin));
        haystack += key;
        for (qsizetype k = 0; k < key.size(); ++k) {
            clusterStart.append(begin);
            clusterEnd.append(i);
        }
    }

    QList<TextRange> found; // every word's matches, as clusters of `text`
    for (const QString& needle : needles) {
        qsizetype from = 0;
        while ((from = haystack.indexOf(needle, from)) >= 0) {
            const qsizetype start = clusterStart.at(from);
            found.append({start, clusterEnd.at(from + needle.size() - 1) - start});
            from += needle.size();
        }
    }
    std::sort(found.begin(), found.end(),
              [](const TextRange& a, const TextRange& b) { return a.start < b.start; });
    QList<TextRange> ranges;
    for (const TextRange& r : found) {
        if (!ranges.isEmpty() && ranges.last().start + ranges.last().length > r.start) {
            TextRange& prev = ranges.last(); // overlapping matches (of two words, or in one cluster): join
            prev.length = std::max(prev.start + prev.length, r.start + r.length) - prev.start;
        } else {
            ranges.append(r);
        }
    }
    return ranges;
}

} // namespace messagefilter
