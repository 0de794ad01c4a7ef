// The assistant's rule-based answer and its predicates on arbitrary questions, messages and
// states. The predicates that test a joined text part by part are compared with the joined
// text; the one-pass content key with the two regular expressions it replaces; keyword lists
// with plain substring tests; and the regular-expression rules must treat an unpaired
// surrogate like any other character that is no keyword.

#include "FuzzScenario.h"
#include "store/ChatRules.h"
#include "store/KeywordList.h"

#include <QRegularExpression>
#include <QSet>

namespace {

using namespace Qt::StringLiterals;

bool containsAny(const QString& text, const QStringList& words)
{
    for (const QString& word : words) {
        if (text.contains(word))
            return true;
    }
    return false;
}

QString meetingText(const BridgeEvent& e)
{
    return e.sessionName.value_or(QString()) + u' ' + e.displayContent();
}

bool isMeetingEvent(const BridgeEvent& e)
{
    return containsAny(meetingText(e),
                       {u"会议"_s, u"开会"_s, u"参会"_s, u"与会"_s, u"例会"_s, u"议程"_s, u"会议室"_s,
                        u"腾讯会议"_s, u"飞书会议"_s, u"Zoom"_s, u"纪要"_s, u"参会名单"_s});
}

bool isMeetingScheduleEvent(const BridgeEvent& e)
{
    const QString s = meetingText(e);
    if (containsAny(s,
                    {u"昨天刚开会"_s, u"已开会"_s, u"已经开会"_s, u"开会推动"_s, u"会议纪要"_s, u"纪要已"_s}))
        return false;
    if (containsAny(
            s, {u"参会名单"_s, u"与会人员"_s, u"参会人员"_s, u"会议通知"_s, u"腾讯会议"_s, u"飞书会议"_s}))
        return true;
    if (!isMeetingEvent(e))
        return false;
    return containsAny(s, {u"召开"_s, u"参加"_s, u"参会"_s, u"与会"_s, u"会议室"_s, u"议程"_s, u"明天"_s,
                           u"今天"_s, u"上午"_s, u"下午"_s, u"晚上"_s, u"周一"_s, u"周二"_s, u"周三"_s,
                           u"周四"_s, u"周五"_s, u"点"_s, u"："_s, u":"_s});
}

bool eventMentionsUser(const BridgeEvent& e, const QStringList& aliases)
{
    const QString joined = e.sessionName.value_or(QString()) + u' ' + e.senderName.value_or(QString()) +
                           u' ' + e.displayContent();
    for (const QString& alias : aliases) {
        if (joined.contains(alias, Qt::CaseInsensitive))
            return true;
    }
    return e.displayContent().contains(u"@我"_s) || e.displayContent().contains(u"@了你"_s);
}

void checkContentKey(const QString& text)
{
    const QString key = chatrules::normalizedContentKey(text);
    if (!isValidUtf16(text))
        return; // the regular expressions match nothing in such a text
    static const QRegularExpression digits(u"\\d+"_s, QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression spaces(u"\\s+"_s, QRegularExpression::UseUnicodePropertiesOption);
    QString expected = text;
    expected.replace(digits, u"#"_s).remove(spaces);
    FUZZ_CHECK(key == expected);
}

void checkTextRules(const QString& text)
{
    const QString fixed = withoutUnpairedSurrogates(text);
    FUZZ_CHECK(chatrules::hasExplicitRequestMarker(text) == chatrules::hasExplicitRequestMarker(fixed));
    FUZZ_CHECK(chatrules::isSelfProgress(text) == chatrules::isSelfProgress(fixed));
    FUZZ_CHECK(chatrules::isTodoText(text) == chatrules::isTodoText(fixed));
}

// Keeps the first message of every duplicate key, in order.
void checkDeduped(const QList<BridgeEvent>& events)
{
    auto keyOf = [](const BridgeEvent& e) {
        return QStringList{e.chatTarget.value_or(QString()), e.sessionName.value_or(QString()),
                           e.senderName.value_or(QString()),
                           chatrules::normalizedContentKey(e.displayContent())};
    };
    QSet<QStringList> seen;
    QList<BridgeEvent> expected;
    for (const BridgeEvent& e : events) {
        const QStringList key = keyOf(e);
        if (!seen.contains(key)) {
            seen << key;
            expected << e;
        }
    }
    FUZZ_CHECK(chatrules::dedupedEvents(events) == expected);
}

// A scam or an excluded message is on no line of the answer (unless a usable one reads the same).
void checkNoUnusableLine(const QString& answer, const QList<BridgeEvent>& events)
{
    QSet<QString> usable;
    for (const BridgeEvent& e : events) {
        if (!e.sorting || (!e.sorting->suspicious && e.sorting->excluded != true))
            usable << chatrules::eventLine(e);
    }
    const QStringList lines = answer.split(u'\n');
    for (const BridgeEvent& e : events) {
        const QString line = chatrules::eventLine(e);
        FUZZ_CHECK(usable.contains(line) || line.contains(u'\n') || !lines.contains(line));
    }
}

void checkKeywordList(QStringList words, bool ignoreCase, const QString& text)
{
    words.removeAll(QString()); // keywords are never empty
    const Qt::CaseSensitivity cs = ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    std::optional<KeywordList> list; // built from literal lists in the product: up to 3 words here
    switch (words.size()) {
    case 0:
        return;
    case 1:
        list.emplace(std::initializer_list<QStringView>{words[0]}, cs);
        break;
    case 2:
        list.emplace(std::initializer_list<QStringView>{words[0], words[1]}, cs);
        break;
    default:
        words = words.mid(0, 3);
        list.emplace(std::initializer_list<QStringView>{words[0], words[1], words[2]}, cs);
        break;
    }
    bool expected = false;
    for (const QString& word : words)
        expected = expected || text.contains(word, cs);
    FUZZ_CHECK(list->foundIn(text) == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    QList<BridgeEvent> events = fuzzscenario::readEvents(in);
    std::optional<BridgeStateResponse> state = fuzzscenario::readState(in, events);
    const QString question = in.text();
    const QStringList keywordWords = in.list(); // read before the sortings, as ever
    const bool keywordCase = in.flag();
    fuzzscenario::readSortings(in, events, state);

    const QString answer = chatrules::localFallbackAnswer(question, events, state);
    FUZZ_CHECK(answer.startsWith(u"本地 AI 刚刚连接不稳定"_s));
    checkNoUnusableLine(answer, events);

    const QStringList aliases = chatrules::currentUserAliases(state);
    for (const QString& alias : aliases)
        FUZZ_CHECK(!alias.isEmpty() && alias == alias.trimmed() && aliases.count(alias) == 1);
    checkDeduped(events);
    for (const BridgeEvent& e : events) {
        FUZZ_CHECK(chatrules::isMeetingEvent(e) == isMeetingEvent(e));
        FUZZ_CHECK(chatrules::isMeetingScheduleEvent(e) == isMeetingScheduleEvent(e));
        FUZZ_CHECK(chatrules::eventMentionsUser(e, aliases) == eventMentionsUser(e, aliases));
        checkContentKey(e.displayContent());
        checkTextRules(e.displayContent());
    }
    checkTextRules(question);
    checkKeywordList(keywordWords, keywordCase, question);
    return 0;
}
