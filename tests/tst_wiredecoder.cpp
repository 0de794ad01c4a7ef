#include "model/ConvertedKey.h"
#include "model/WireDecoder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

using Kind = DecodeError::Kind;
Q_DECLARE_METATYPE(DecodeError::Kind)

namespace {

QByteArray fixture(const QString& name)
{
    QFile file(QStringLiteral(RAZO_FIXTURES_DIR "/wire/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

// Decodes with the decoder a test row names: "state", "events" or "scan".
std::optional<DecodeError> failureOf(const QString& decoder, const QByteArray& body)
{
    if (decoder == QLatin1String("events")) {
        const auto result = wire::decodeEvents(body);
        return result ? std::nullopt : std::optional(result.error());
    }
    if (decoder == QLatin1String("scan")) {
        const auto result = wire::decodeWeComScanResponse(body);
        return result ? std::nullopt : std::optional(result.error());
    }
    const auto result = wire::decodeState(body);
    return result ? std::nullopt : std::optional(result.error());
}

// A document's sorting in one line: the kind echo, each sorted message's id with the flags that
// hold and its due time, and how many carry none; for a state the summary's counts.
QString sortingOf(const QString& decoder, const QByteArray& body)
{
    if (decoder == QLatin1String("state")) {
        const std::optional<SummaryCounts> c = wire::decodeState(body)->summary->counts;
        return c ? QStringLiteral("counts %1/%2/%3/%4/%5")
                       .arg(c->todo)
                       .arg(c->followUp)
                       .arg(c->important)
                       .arg(c->meeting)
                       .arg(c->needsYou)
                 : QStringLiteral("counts -");
    }
    const auto list = wire::decodeEventList(body);
    QStringList parts{QStringLiteral("kind ") + list->kind.value_or(QStringLiteral("-"))};
    int unsorted = 0;
    for (const BridgeEvent& e : list->events) {
        unsorted += e.sorting ? 0 : 1;
        if (const std::optional<EventSorting>& s = e.sorting) {
            const bool on[] = {s->todo,       s->followUp, s->meeting,      s->important,
                               s->suspicious, s->isMine(), s->isExcluded(), s->isDone()};
            const QStringList names{"todo",       "follow_up", "meeting",  "important",
                                    "suspicious", "mine",      "excluded", "done"};
            QStringList flags;
            for (int i = 0; i < 8; ++i)
                flags << (on[i] ? names[i] : QString());
            flags.removeAll(QString());
            if (s->due)
                flags << QStringLiteral("due=") + *s->due;
            parts << QString::number(*e.eventId) + u'{' + flags.join(u' ') + u'}';
        }
    }
    return (parts << QStringLiteral("unsorted %1").arg(unsorted)).join(QStringLiteral("; "));
}

BridgeEvent singleEvent(const QByteArray& eventJson)
{
    const auto events = wire::decodeEvents("{\"events\": [" + eventJson + "]}");
    if (!events)
        qFatal("event does not decode: %s", qPrintable(events.error().description()));
    if (events->size() != 1)
        qFatal("expected one event");
    return events->first();
}

} // namespace

class TestWireDecoder : public QObject
{
    Q_OBJECT

private slots:
    void convertsKeys_data();
    void convertsKeys();
    void matchesKeyVariants_data();
    void matchesKeyVariants();
    void readsIntegersExactly_data();
    void readsIntegersExactly();
    void rejectsMalformedJson_data();
    void rejectsMalformedJson();
    void readsJsonText_data();
    void readsJsonText();
    void matchesEscapedKeys();
    void readsDuplicateKeysInTurn();
    void agreesWithQtOnFixtures();
    void rejectsWhateverQtRejects();
    void readsNamedCounts_data();
    void readsNamedCounts();
    void failsWholeDocument_data();
    void failsWholeDocument();
    void describesFailures_data();
    void describesFailures();
    void keepsAbsentApartFromEmpty();
    void emptyDocumentLeavesEverythingAbsent();
    void decodesPartialDiagnostics();
    void derivesEventValues_data();
    void derivesEventValues();
    void readsEventIdFromIdOnly_data();
    void readsEventIdFromIdOnly();
    void readsActionReplies();
    void decodesFullStateFixture();
    void decodesEventsFixture();
    void rejectsMalformedFixtures_data();
    void rejectsMalformedFixtures();
    void readsSortingKindAndCounts_data();
    void readsSortingKindAndCounts();
    void identitiesOfDigestRecords();
    void hashesAllowlistEntriesByAllFields();
};

void TestWireDecoder::convertsKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("three pieces") << "has_api_key"
                                  << "hasApiKey";
    QTest::newRow("four pieces") << "windows_visible_to_ax"
                                 << "windowsVisibleToAx";
    QTest::newRow("upper piece lowered") << "base_URL"
                                         << "baseUrl";
    QTest::newRow("camel kept") << "builtInChat"
                                << "builtInChat";
    QTest::newRow("leading underscore kept") << "_meta_data"
                                             << "_metaData";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("one underscore") << "_"
                                    << "_";
    QTest::newRow("underscores only") << "___"
                                      << "___";
    QTest::newRow("single piece keeps case") << "URL"
                                             << "URL";
    QTest::newRow("single piece with outer underscores") << "__Id_"
                                                         << "__Id_";
    QTest::newRow("runs count as one") << "a__b___c"
                                       << "aBC";
    QTest::newRow("outer runs put back") << "__a_b__"
                                         << "__aB__";
    QTest::newRow("first piece lowered") << "Base_url"
                                         << "baseUrl";
    QTest::newRow("shouting") << "HAS_API_KEY"
                              << "hasApiKey";
    QTest::newRow("digit first: the first character is the one cased") << "x_2d"
                                                                       << "x2d";
    QTest::newRow("digit start") << "top_10"
                                 << "top10";
    QTest::newRow("accented") << "äb_öC"
                              << "äbÖc";
    QTest::newRow("chinese pieces") << "名称_字段"
                                    << "名称字段";
    // U+10428 DESERET SMALL LETTER LONG I, upper case U+10400, outside the BMP
    QTest::newRow("surrogate pair cased")
        << QString::fromUcs4(U"\U00010428a_\U00010428b") << QString::fromUcs4(U"\U00010428a\U00010400b");
}

void TestWireDecoder::convertsKeys()
{
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(wire::convertKey(key), expected);

    // The decoder matches through equals(), which must agree with the converted text.
    const QByteArray latin1 = expected.toLatin1();
    if (QString::fromLatin1(latin1) == expected) {
        const ConvertedKey converted(key);
        QVERIFY(converted.equals(QLatin1StringView(latin1)));
        QVERIFY(!converted.equals(QLatin1StringView(latin1 + "x")));
        if (!latin1.isEmpty())
            QVERIFY(!converted.equals(QLatin1StringView(latin1.chopped(1))));
    }
}

void TestWireDecoder::matchesKeyVariants_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("filled");
    QTest::newRow("snake") << QByteArray(R"({"built_in_chat": {"enabled": true}})") << true;
    QTest::newRow("field name") << QByteArray(R"({"builtInChat": {"enabled": true}})") << true;
    QTest::newRow("shouting") << QByteArray(R"({"BUILT_IN_CHAT": {"enabled": true}})") << true;
    QTest::newRow("doubled underscore") << QByteArray(R"({"built__in_chat": {"enabled": true}})") << true;
    QTest::newRow("trailing underscore") << QByteArray(R"({"built_in_chat_": {"enabled": true}})") << false;
    QTest::newRow("leading underscore") << QByteArray(R"({"_built_in_chat": {"enabled": true}})") << false;
    QTest::newRow("single piece, other case") << QByteArray(R"({"builtinchat": {"enabled": true}})") << false;
    QTest::newRow("single piece, capital") << QByteArray(R"({"BuiltInChat": {"enabled": true}})") << false;
}

void TestWireDecoder::matchesKeyVariants()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, filled);
    const auto state = wire::decodeState(body);
    QVERIFY(state);
    QCOMPARE(state->builtInChat.has_value(), filled);
    if (filled)
        QCOMPARE(state->builtInChat->enabled, std::optional(true));
}

void TestWireDecoder::readsIntegersExactly_data()
{
    QTest::addColumn<QByteArray>("literal");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<qint64>("value");
    const qint64 max = std::numeric_limits<qint64>::max();
    const qint64 min = std::numeric_limits<qint64>::min();
    QTest::newRow("zero") << QByteArray("0") << true << qint64(0);
    QTest::newRow("negative zero") << QByteArray("-0") << true << qint64(0);
    QTest::newRow("negative") << QByteArray("-42") << true << qint64(-42);
    QTest::newRow("beyond double precision")
        << QByteArray("9007199254740993") << true << qint64(9007199254740993);
    QTest::newRow("int64 max") << QByteArray("9223372036854775807") << true << max;
    QTest::newRow("int64 min") << QByteArray("-9223372036854775808") << true << min;
    QTest::newRow("integral double") << QByteArray("1.0") << true << qint64(1);
    QTest::newRow("exponent") << QByteArray("2e3") << true << qint64(2000);
    QTest::newRow("int64 min as double") << QByteArray("-9.223372036854775808e18") << true << min;
    QTest::newRow("decimal notation kept exact")
        << QByteArray("9007199254740993.0") << true << qint64(9007199254740993);
    QTest::newRow("mantissa and exponent") << QByteArray("1.5e1") << true << qint64(15);
    QTest::newRow("negative exponent") << QByteArray("150e-1") << true << qint64(15);
    QTest::newRow("signed exponent") << QByteArray("1E+2") << true << qint64(100);
    QTest::newRow("1e18") << QByteArray("1e18") << true << qint64(1000000000000000000);
    QTest::newRow("zero with huge exponent") << QByteArray("0e999999999999999999999") << true << qint64(0);
    QTest::newRow("negative zero decimal") << QByteArray("-0.0") << true << qint64(0);
    QTest::newRow("max + 1") << QByteArray("9223372036854775808") << false << qint64(0);
    QTest::newRow("max + 1 in exponent form") << QByteArray("9.223372036854775808e18") << false << qint64(0);
    QTest::newRow("1e19") << QByteArray("1e19") << false << qint64(0);
    QTest::newRow("huge exponent") << QByteArray("1e999999999999999999999") << false << qint64(0);
    QTest::newRow("trailing fraction") << QByteArray("12.30") << false << qint64(0);
    QTest::newRow("half") << QByteArray("5e-1") << false << qint64(0);
    QTest::newRow("min - 1") << QByteArray("-9223372036854775809") << false << qint64(0);
    QTest::newRow("min - 1000") << QByteArray("-9223372036854776808") << false << qint64(0);
    QTest::newRow("2^64") << QByteArray("18446744073709551616") << false << qint64(0);
    QTest::newRow("fraction") << QByteArray("1.5") << false << qint64(0);
    QTest::newRow("small fraction") << QByteArray("0.25") << false << qint64(0);
    QTest::newRow("huge double") << QByteArray("1e300") << false << qint64(0);
    QTest::newRow("huge negative double") << QByteArray("-1e19") << false << qint64(0);
    QTest::newRow("text") << QByteArray("\"12\"") << false << qint64(0);
    QTest::newRow("boolean") << QByteArray("true") << false << qint64(0);
    QTest::newRow("list") << QByteArray("[1]") << false << qint64(0);
}

void TestWireDecoder::readsIntegersExactly()
{
    QFETCH(QByteArray, literal);
    QFETCH(bool, accepted);
    QFETCH(qint64, value);
    const auto reply = wire::decodeAskResponse(R"({"title": "x", "matched_count": )" + literal + "}");
    QCOMPARE(reply.ok(), accepted);
    if (accepted) {
        QCOMPARE(reply->matchedCount, std::optional(value));
    } else {
        QCOMPARE(reply.error().path(), QStringLiteral("matched_count"));
        QCOMPARE(reply.error().expected(), QStringLiteral("整数"));
    }
}

void TestWireDecoder::rejectsMalformedJson_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("white space only") << QByteArray(" \n\t ");
    QTest::newRow("unterminated object") << QByteArray(R"({"ok": true)");
    QTest::newRow("unterminated string") << QByteArray(R"({"message": "abc})");
    QTest::newRow("trailing comma in object") << QByteArray(R"({"ok": true,})");
    QTest::newRow("trailing comma in list") << QByteArray(R"({"x": [1, 2,]})");
    QTest::newRow("leading comma in list") << QByteArray(R"({"x": [,1]})");
    QTest::newRow("missing comma") << QByteArray(R"({"ok": true "message": "a"})");
    QTest::newRow("missing colon") << QByteArray(R"({"ok" true})");
    QTest::newRow("unquoted key") << QByteArray(R"({ok: true})");
    QTest::newRow("single quotes") << QByteArray(R"({'ok': true})");
    QTest::newRow("leading zero") << QByteArray(R"({"x": 01})");
    QTest::newRow("bare dot") << QByteArray(R"({"x": 1.})");
    QTest::newRow("leading dot") << QByteArray(R"({"x": .5})");
    QTest::newRow("plus sign") << QByteArray(R"({"x": +1})");
    QTest::newRow("lone minus") << QByteArray(R"({"x": -})");
    QTest::newRow("empty exponent") << QByteArray(R"({"x": 1e})");
    QTest::newRow("NaN") << QByteArray(R"({"x": NaN})");
    QTest::newRow("Infinity") << QByteArray(R"({"x": -Infinity})");
    QTest::newRow("truncated literal") << QByteArray(R"({"ok": tru})");
    QTest::newRow("capital literal") << QByteArray(R"({"ok": True})");
    QTest::newRow("comment") << QByteArray("{\"ok\": true // yes\n}");
    QTest::newRow("control character in text") << QByteArray("{\"message\": \"a\tb\"}");
    QTest::newRow("unknown escape") << QByteArray(R"({"message": "\x41"})");
    QTest::newRow("short unicode escape") << QByteArray(R"({"message": "\u12"})");
    QTest::newRow("bad hex escape") << QByteArray(R"({"message": "\u12G4"})");
    QTest::newRow("overlong UTF-8") << QByteArray("{\"message\": \"\xC0\x80\"}");
    QTest::newRow("lone continuation byte") << QByteArray("{\"message\": \"\x80\"}");
    QTest::newRow("UTF-8 surrogate") << QByteArray("{\"message\": \"\xED\xA0\x80\"}");
    QTest::newRow("beyond U+10FFFF") << QByteArray("{\"message\": \"\xF4\x90\x80\x80\"}");
    QTest::newRow("truncated UTF-8") << QByteArray("{\"message\": \"\xE4\xB8\"}");
    QTest::newRow("invalid UTF-8 in key") << QByteArray("{\"\xFF\": 1}");
    QTest::newRow("two documents") << QByteArray("{}{}");
    QTest::newRow("trailing text") << QByteArray(R"({"ok": true} ok)");
    QTest::newRow("broken unknown value") << QByteArray(R"({"extra": [1, {"a": }], "ok": true})");
    QTest::newRow("type error before broken text") << QByteArray(R"({"ok": 1, "message": )");
    QTest::newRow("nesting too deep")
        << QByteArray(R"({"extra": )") + QByteArray(600, '[') + QByteArray(600, ']') + "}";
}

void TestWireDecoder::rejectsMalformedJson()
{
    QFETCH(QByteArray, body);
    const auto reply = wire::decodeActionResponse(body);
    QVERIFY(!reply);
    QCOMPARE(reply.error().kind(), Kind::NotJson);
    QVERIFY(reply.error().description().startsWith(
        QStringLiteral("本地核心返回的数据无法解析：回复不是有效的 JSON（第 ")));
}

void TestWireDecoder::readsJsonText_data()
{
    QTest::addColumn<QByteArray>("literal");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray(R"("abc")") << "abc";
    QTest::newRow("empty") << QByteArray(R"("")") << "";
    QTest::newRow("chinese") << QByteArray(R"("明天开会")") << "明天开会";
    QTest::newRow("four-byte UTF-8") << QByteArray("\"\xF0\x9F\x98\x80!\"")
                                     << QString::fromUcs4(U"\U0001F600!");
    QTest::newRow("simple escapes") << QByteArray(R"("q\"b\\s\/b\bf\fn\nr\rt\t")")
                                    << "q\"b\\s/b\bf\fn\nr\rt\t";
    QTest::newRow("unicode escape") << QByteArray(R"("\u4e2d\u6587")") << "中文";
    QTest::newRow("upper hex escape") << QByteArray(R"("\u00E9")") << "é";
    QTest::newRow("surrogate pair escape")
        << QByteArray(R"("\ud83d\ude00")") << QString::fromUcs4(U"\U0001F600");
    QTest::newRow("escaped NUL") << QByteArray(R"("a\u0000b")") << QStringView(u"a\0b", 3).toString();
    QTest::newRow("escapes between text") << QByteArray(R"("第\n二行\t结束")") << "第\n二行\t结束";
    // U+FEFF is a character like any other here, not a byte-order mark to drop.
    // (A UTF-8 literal would lose it on its way into a QString: built from QChar here.)
    const QString bom(QChar(0xFEFF));
    QTest::newRow("U+FEFF opening the text") << QByteArray("\"\xEF\xBB\xBF"
                                                           "abc\"")
                                             << bom + "abc";
    QTest::newRow("U+FEFF opening a run after an escape") << QByteArray("\"a\\n\xEF\xBB\xBF"
                                                                        "b\"")
                                                          << "a\n" + bom + "b";
}

void TestWireDecoder::readsJsonText()
{
    QFETCH(QByteArray, literal);
    QFETCH(QString, text);
    const QByteArray body = R"({"answer": )" + literal + "}";
    const auto reply = wire::decodeAskResponse(body);
    QVERIFY2(reply, reply ? "" : qPrintable(reply.error().description()));
    QCOMPARE(reply->answer, std::optional(text));
    // The same text as Qt's own JSON reader sees it, except where that reader drops a U+FEFF.
    QEXPECT_FAIL("U+FEFF opening the text", "Qt's reader drops it as a byte-order mark", Continue);
    QCOMPARE(QJsonDocument::fromJson(body).object().value(QLatin1String("answer")).toString(), text);
}

void TestWireDecoder::matchesEscapedKeys()
{
    const auto state = wire::decodeState(
        R"({"built_in_chat": {"has_api\u005fkey": true, "\u006dodel": "m", "fallback_mode\u0000": "x"}})");
    QVERIFY2(state, state ? "" : qPrintable(state.error().description()));
    QCOMPARE(state->builtInChat->hasApiKey, std::optional(true));
    QCOMPARE(state->builtInChat->model, std::optional(QStringLiteral("m")));
    QVERIFY(!state->builtInChat->fallbackMode);

    const auto failed = wire::decodeState(R"({"summary": {"total\u005fmessages": "12"}})");
    QVERIFY(!failed);
    QCOMPARE(failed.error().path(), QStringLiteral("summary.total_messages"));
}

void TestWireDecoder::readsDuplicateKeysInTurn()
{
    const auto reply = wire::decodeChatResponse(
        R"({"message": "first", "session_id": "a", "message": "second", "sessionId": null, "mode": "x", "mode": "y"})");
    QVERIFY(reply);
    QCOMPARE(reply->message, std::optional(QStringLiteral("second")));
    QCOMPARE(reply->sessionId, std::optional(QStringLiteral("a"))); // null leaves it as it was
    QCOMPARE(reply->mode, std::optional(QStringLiteral("y")));
}

void TestWireDecoder::agreesWithQtOnFixtures()
{
    const QByteArray body = fixture(QStringLiteral("events_120.json"));
    const auto events = wire::decodeEvents(body);
    QVERIFY(events);
    const QJsonArray reference =
        QJsonDocument::fromJson(body).object().value(QLatin1String("events")).toArray();
    QCOMPARE(events->size(), reference.size());
    const auto text = [](const QJsonObject& object, const char* key) {
        const QJsonValue value = object.value(QLatin1String(key));
        return value.isString() ? std::optional(value.toString()) : std::nullopt;
    };
    for (qsizetype i = 0; i < reference.size(); ++i) {
        const QJsonObject expected = reference.at(i).toObject();
        const BridgeEvent& event = events->at(i);
        QCOMPARE(event.eventId.has_value(), expected.contains(QLatin1String("id")));
        if (event.eventId)
            QCOMPARE(*event.eventId, expected.value(QLatin1String("id")).toInteger());
        QCOMPARE(event.chatTarget, text(expected, "chat_target"));
        QCOMPARE(event.sessionName, text(expected, "session_name"));
        QCOMPARE(event.sessionKind, text(expected, "session_kind"));
        QCOMPARE(event.senderName, text(expected, "sender_name"));
        QCOMPARE(event.sentAt, text(expected, "sent_at"));
        QCOMPARE(event.content, text(expected, "content"));
        QCOMPARE(event.contentType, text(expected, "content_type"));
        QCOMPARE(event.transcript, text(expected, "transcript"));
    }
}

void TestWireDecoder::rejectsWhateverQtRejects()
{
    // Random small damage to a real document: whenever Qt's own JSON reader refuses the
    // bytes, the decoder must call them "not JSON" as well (it is stricter than Qt about
    // control characters, unknown escapes and numbers like ".5", never more lenient).
    const QByteArray original = fixture(QStringLiteral("state_full.json"));
    QRandomGenerator random(20241207);
    const QByteArray alphabet("{}[],:\"\\ -0123456789.eEtrufalsn\x80\xC0\xE4\xFF\t");
    int refusedByQt = 0;
    for (int round = 0; round < 1500; ++round) {
        QByteArray body = original;
        for (int edit = 1 + random.bounded(3); edit > 0; --edit) {
            const int at = random.bounded(int(body.size()));
            const char c = alphabet.at(random.bounded(int(alphabet.size())));
            switch (random.bounded(3)) {
            case 0:
                body[at] = c;
                break;
            case 1:
                body.insert(at, c);
                break;
            default:
                body.remove(at, 1);
            }
        }
        QJsonParseError parseError;
        QJsonDocument::fromJson(body, &parseError);
        if (parseError.error == QJsonParseError::NoError)
            continue;
        ++refusedByQt;
        const auto state = wire::decodeState(body);
        QVERIFY2(!state && state.error().kind() == Kind::NotJson, body.constData());
    }
    QVERIFY(refusedByQt > 1000);
}

void TestWireDecoder::readsNamedCounts_data()
{
    QTest::addColumn<QByteArray>("element");
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("count");
    QTest::newRow("name and count") << QByteArray(R"(["群A", 12])") << "群A" << qint64(12);
    QTest::newRow("name only") << QByteArray(R"(["群B"])") << "群B" << qint64(0);
    QTest::newRow("null name stays on null") << QByteArray("[null, 5]") << "-" << qint64(0);
    QTest::newRow("count without name") << QByteArray("[5]") << "-" << qint64(5);
    QTest::newRow("object name") << QByteArray(R"([{}, 2])") << "-" << qint64(0);
    QTest::newRow("boolean name") << QByteArray("[true, 4]") << "-" << qint64(0);
    QTest::newRow("empty") << QByteArray("[]") << "-" << qint64(0);
    QTest::newRow("count as text") << QByteArray(R"(["x", "7"])") << "x" << qint64(0);
    QTest::newRow("fractional count") << QByteArray(R"(["x", 1.5])") << "x" << qint64(0);
    QTest::newRow("count beyond int64") << QByteArray(R"(["x", 9223372036854775808])") << "x" << qint64(0);
    QTest::newRow("large exact count")
        << QByteArray(R"(["x", 9007199254740993])") << "x" << qint64(9007199254740993);
    QTest::newRow("extra elements ignored") << QByteArray(R"(["x", 3, "y", {}])") << "x" << qint64(3);
    QTest::newRow("empty name kept") << QByteArray(R"(["", 1])") << "" << qint64(1);
}

void TestWireDecoder::readsNamedCounts()
{
    QFETCH(QByteArray, element);
    QFETCH(QString, name);
    QFETCH(qint64, count);
    const auto state = wire::decodeState(R"({"summary": {"top_topics": [)" + element + "]}}");
    QVERIFY2(state, state ? "" : qPrintable(state.error().description()));
    const QList<NamedCount> expected{NamedCount{name, count}};
    QCOMPARE(state->summary->topTopics, std::optional(expected));
}

void TestWireDecoder::failsWholeDocument_data()
{
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("path");
    auto row = [](const char* name, const char* decoder, const QByteArray& body, Kind kind,
                  const char* path) {
        QTest::newRow(name) << QString::fromLatin1(decoder) << body << kind << QString::fromUtf8(path);
    };
    row("named count as object", "state",
        R"({"summary": {"top_senders": [{"name": "发送人A", "count": 2}]}})", Kind::WrongType,
        "summary.top_senders[0]");
    row("named count list as object", "state", R"({"summary": {"top_senders": {"a": 1}}})", Kind::WrongType,
        "summary.top_senders");
    row("setup item without key", "state", R"({"setup": {"items": [{"title": "权限"}]}})", Kind::MissingField,
        "setup.items[0].key");
    row("setup item with null key", "state", R"({"setup": {"items": [{"key": "a"}, {"key": null}]}})",
        Kind::MissingField, "setup.items[1].key");
    row("setup key as number", "state", R"({"setup": {"items": [{"key": 5}]}})", Kind::WrongType,
        "setup.items[0].key");
    row("integer as text", "state", R"({"summary": {"total_messages": "12"}})", Kind::WrongType,
        "summary.total_messages");
    row("boolean as number", "state", R"({"config": {"remote_access_protected": 1}})", Kind::WrongType,
        "config.remote_access_protected");
    row("boolean as text", "state", R"({"built_in_chat": {"enabled": "true"}})", Kind::WrongType,
        "built_in_chat.enabled");
    row("text as number", "state", R"({"agent_access": {"token_header": 7}})", Kind::WrongType,
        "agent_access.token_header");
    row("list as text", "state", R"({"agent_access": {"lan_urls": "http://192.0.2.2"}})", Kind::WrongType,
        "agent_access.lan_urls");
    row("number inside text list", "state", R"({"agent_access": {"lan_urls": ["a", 1]}})", Kind::WrongType,
        "agent_access.lan_urls[1]");
    row("null inside text list", "state", R"({"summary": {"action_items": [null]}})", Kind::WrongType,
        "summary.action_items[0]");
    row("null inside record list", "state", R"({"summary": {"highlights": [null]}})", Kind::WrongType,
        "summary.highlights[0]");
    row("record as list", "state", R"({"config": []})", Kind::WrongType, "config");
    row("record as text", "state", R"({"diagnostics": {"wecom": "ready"}})", Kind::WrongType,
        "diagnostics.wecom");
    row("deep in allowlist", "state",
        R"({"config": {"wecom": {"allowlist": [{"name": "a"}, {"name": "b", "enabled": 0}]}}})",
        Kind::WrongType, "config.wecom.allowlist[1].enabled");
    row("deep in diagnostics", "state",
        R"({"diagnostics": {"wecom": {"notification_db": {"permission": {"auth": 1.5}}}}})", Kind::WrongType,
        "diagnostics.wecom.notification_db.permission.auth");
    row("path keeps the core's spelling", "state",
        R"({"builtInChat": {"has_api_key": null, "hasApiKey": 1}})", Kind::WrongType,
        "builtInChat.hasApiKey");
    row("top level array", "state", "[]", Kind::WrongType, "");
    row("top level text", "state", "\"state\"", Kind::WrongType, "");
    row("top level number", "state", " 5 ", Kind::WrongType, "");
    row("not json", "state", "<html>502</html>", Kind::NotJson, "");
    row("empty body", "state", "", Kind::NotJson, "");
    row("trailing garbage", "state", "{} x", Kind::NotJson, "");
    row("events missing", "events", "{}", Kind::MissingField, "events");
    row("events null", "events", R"({"events": null})", Kind::MissingField, "events");
    row("events as object", "events", R"({"events": {}})", Kind::WrongType, "events");
    row("id as text", "events", R"({"events": [{"id": 1}, {"id": "5"}]})", Kind::WrongType, "events[1].id");
    row("id fractional", "events", R"({"events": [{"id": 1.5}]})", Kind::WrongType, "events[0].id");
    row("event as list", "events", R"({"events": [[]]})", Kind::WrongType, "events[0]");
    row("scan counter as text", "scan", R"({"ok": true, "inserted": "2"})", Kind::WrongType, "inserted");
    row("scan ok as number", "scan", R"({"ok": 0})", Kind::WrongType, "ok");
}

void TestWireDecoder::failsWholeDocument()
{
    QFETCH(QString, decoder);
    QFETCH(QByteArray, body);
    QFETCH(Kind, kind);
    QFETCH(QString, path);
    const std::optional<DecodeError> error = failureOf(decoder, body);
    QVERIFY(error);
    QCOMPARE(error->kind(), kind);
    QCOMPARE(error->path(), path);
    if (!path.isEmpty())
        QVERIFY2(error->description().contains(path), qPrintable(error->description()));
}

void TestWireDecoder::describesFailures_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("description");
    QTest::newRow("integer") << QByteArray(R"({"summary": {"total_messages": "12"}})")
                             << "本地核心返回的数据无法解析：summary.total_messages 应为整数";
    QTest::newRow("named count")
        << QByteArray(R"({"summary": {"top_senders": [3]}})")
        << "本地核心返回的数据无法解析：summary.top_senders[0] 应为[名称, 数量] 形式的数组";
    QTest::newRow("boolean")
        << QByteArray(R"({"agent_access": {"token_required": "yes"}})")
        << "本地核心返回的数据无法解析：agent_access.token_required 应为布尔值（true 或 false）";
    QTest::newRow("text in list") << QByteArray(R"({"config": {"user_profile": {"aliases": ["Leo", 2]}}})")
                                  << "本地核心返回的数据无法解析：config.user_profile.aliases[1] 应为文本";
    QTest::newRow("list") << QByteArray(R"({"setup": {"items": {}}})")
                          << "本地核心返回的数据无法解析：setup.items 应为列表";
    QTest::newRow("required") << QByteArray(R"({"setup": {"items": [{}]}})")
                              << "本地核心返回的数据无法解析：缺少必填字段 setup.items[0].key";
    QTest::newRow("top level") << QByteArray("[1, 2]") << "本地核心返回的数据无法解析：顶层应为对象";
}

void TestWireDecoder::describesFailures()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, description);
    const auto state = wire::decodeState(body);
    QVERIFY(!state);
    QCOMPARE(state.error().description(), description);
}

void TestWireDecoder::keepsAbsentApartFromEmpty()
{
    const auto state = wire::decodeState(R"({
        "agent_access": {"mobile_urls": [], "remote_status": null, "unknown": {"x": [1, null, "y"]}},
        "summary": {"total_messages": null, "highlights": [], "generated": 17},
        "setup": {"items": []},
        "config": {"wecom": {"allowlist": []}, "wechat": {}}
    })");
    QVERIFY2(state, state ? "" : qPrintable(state.error().description()));
    const AgentAccessSnapshot& access = *state->agentAccess;
    QVERIFY(!access.lanUrls.has_value());
    QCOMPARE(access.mobileUrls, std::optional(QStringList()));
    QVERIFY(!access.remoteStatus.has_value());
    QVERIFY(!state->summary->totalMessages.has_value());
    QCOMPARE(state->summary->highlights, std::optional(QList<HighlightSnapshot>()));
    QCOMPARE(state->setup->items, std::optional(QList<SetupItemSnapshot>()));
    QCOMPARE(state->config->wecom->allowlist, std::optional(QList<AllowlistSnapshot>()));
    QCOMPARE(state->config->wechat, std::optional(ChatClientSnapshot()));
    QVERIFY(!state->config->wechat->allowlist.has_value());
}

void TestWireDecoder::emptyDocumentLeavesEverythingAbsent()
{
    const auto state = wire::decodeState("{}");
    QVERIFY(state);
    QCOMPARE(*state, BridgeStateResponse());
    QVERIFY(!state->config && !state->summary && !state->builtInChat && !state->agentAccess &&
            !state->setup && !state->diagnostics);

    const auto reply = wire::decodeActionResponse("{}");
    QVERIFY(reply);
    QCOMPARE(*reply, APIActionResponse());
}

void TestWireDecoder::decodesPartialDiagnostics()
{
    const auto state = wire::decodeState(
        R"({"diagnostics": {"wecom": {"status": "ready", "notification_db": {"record_count": 3}}}})");
    QVERIFY(state);
    WeComDiagnosticsSnapshot expected;
    expected.status = QStringLiteral("ready");
    expected.notificationDb = NotificationDBDiagnosticsSnapshot();
    expected.notificationDb->recordCount = 3;
    QCOMPARE(state->diagnostics->wecom, std::optional(expected));
}

void TestWireDecoder::derivesEventValues_data()
{
    QTest::addColumn<QByteArray>("event");
    QTest::addColumn<QString>("stableId");
    QTest::addColumn<QString>("displayContent");
    QTest::addColumn<QString>("targetLabel");
    QTest::newRow("with id") << QByteArray(R"({"id": 42, "chat_target": "wecom", "content": "明天开会"})")
                             << "42"
                             << "明天开会"
                             << "企业微信";
    QTest::newRow("id zero") << QByteArray(R"({"id": 0, "chat_target": "wechat"})") << "0"
                             << "（暂无正文）"
                             << "微信";
    QTest::newRow("negative id") << QByteArray(R"({"id": -3})") << "-3"
                                 << "（暂无正文）"
                                 << "消息";
    QTest::newRow("composite with transcript")
        << QByteArray(R"({"chat_target": "wechat", "session_name": "群A", "sender_name": "发送人A",
                          "sent_at": "09:30", "transcript": "语音转文字", "session_kind": "group",
                          "content_type": "voice"})")
        << "wechat-群A-发送人A-09:30-语音转文字"
        << "语音转文字"
        << "微信";
    QTest::newRow("nothing at all") << QByteArray("{}") << "----（暂无正文）"
                                    << "（暂无正文）"
                                    << "消息";
    QTest::newRow("empty transcript falls through")
        << QByteArray(R"({"transcript": "", "content": "正文"})") << "----正文"
        << "正文"
        << "消息";
    QTest::newRow("blank transcript shown as is")
        << QByteArray(R"({"transcript": " ", "content": "正文"})") << "---- "
        << " "
        << "消息";
    QTest::newRow("empty content and transcript")
        << QByteArray(R"({"transcript": "", "content": ""})") << "----（暂无正文）"
        << "（暂无正文）"
        << "消息";
    QTest::newRow("transcript over content")
        << QByteArray(R"({"content": "[语音]", "transcript": "好的"})") << "----好的"
        << "好的"
        << "消息";
    QTest::newRow("other letter case")
        << QByteArray(R"({"chat_target": "WeCom", "content": "x"})") << "WeCom----x"
        << "x"
        << "消息";
    QTest::newRow("unknown target") << QByteArray(R"({"chat_target": "sms", "sender_name": "a"})")
                                    << "sms--a--（暂无正文）"
                                    << "（暂无正文）"
                                    << "消息";
    QTest::newRow("padded target") << QByteArray(R"({"chat_target": "wecom ", "id": 7})") << "7"
                                   << "（暂无正文）"
                                   << "消息";
}

void TestWireDecoder::derivesEventValues()
{
    QFETCH(QByteArray, event);
    QFETCH(QString, stableId);
    QFETCH(QString, displayContent);
    QFETCH(QString, targetLabel);
    const BridgeEvent decoded = singleEvent(event);
    QCOMPARE(decoded.stableId(), stableId);
    QCOMPARE(decoded.displayContent(), displayContent);
    QCOMPARE(decoded.targetLabel(), targetLabel);
}

void TestWireDecoder::readsEventIdFromIdOnly_data()
{
    QTest::addColumn<QByteArray>("event");
    QTest::addColumn<bool>("present");
    QTest::addColumn<qint64>("id");
    QTest::newRow("id") << QByteArray(R"({"id": 5})") << true << qint64(5);
    QTest::newRow("id as integral double") << QByteArray(R"({"id": 5.0})") << true << qint64(5);
    QTest::newRow("large id exact") << QByteArray(R"({"id": 9007199254740993})") << true
                                    << qint64(9007199254740993);
    QTest::newRow("eventId key") << QByteArray(R"({"eventId": 5})") << false << qint64(0);
    QTest::newRow("event_id key") << QByteArray(R"({"event_id": 5})") << false << qint64(0);
    QTest::newRow("ID key") << QByteArray(R"({"ID": 5})") << false << qint64(0);
    QTest::newRow("null id") << QByteArray(R"({"id": null})") << false << qint64(0);
}

void TestWireDecoder::readsEventIdFromIdOnly()
{
    QFETCH(QByteArray, event);
    QFETCH(bool, present);
    QFETCH(qint64, id);
    const BridgeEvent decoded = singleEvent(event);
    QCOMPARE(decoded.eventId.has_value(), present);
    if (present)
        QCOMPARE(*decoded.eventId, id);
}

void TestWireDecoder::readsActionReplies()
{
    const auto action = wire::decodeActionResponse(fixture(QStringLiteral("action_reply.json")));
    QVERIFY(action);
    QCOMPARE(*action,
             (APIActionResponse{true, std::nullopt, QStringLiteral("已推送到网站桥接"),
                                QStringLiteral("https://bridge.example.com/mobile.html#remote-context")}));

    const auto chat = wire::decodeChatResponse(fixture(QStringLiteral("chat_reply.json")));
    QVERIFY(chat);
    QCOMPARE(chat->sessionId, std::optional(QStringLiteral("c0a8f3e2-5b1d-4c61-9a57-1f0e2d3c4b5a")));
    QCOMPARE(chat->ok, std::optional(true));
    QCOMPARE(chat->mode, std::optional(QStringLiteral("local_rules")));
    QCOMPARE(chat->model, std::optional(QStringLiteral("deepseek-chat")));
    QVERIFY(chat->message && chat->message->startsWith(QStringLiteral("最近 7 天有 3 个会议")));
    QVERIFY(!chat->error); // null

    const auto ask = wire::decodeAskResponse(fixture(QStringLiteral("ask_reply.json")));
    QVERIFY(ask);
    QCOMPARE(*ask, (AskResponse{QStringLiteral("最近 7 天的会议"),
                                QStringLiteral("共找到 9 条和会议有关的消息。"), 9}));

    const auto save =
        wire::decodeNativeConfigSaveResponse(fixture(QStringLiteral("settings_save_reply.json")));
    QVERIFY(save);
    QCOMPARE(save->ok, std::optional(false));
    QCOMPARE(save->error, std::optional(QStringLiteral("invalid_rule_mode")));
    QVERIFY(save->message && save->message->startsWith(QStringLiteral("规则模式无效")));

    const auto scan = wire::decodeWeComScanResponse(fixture(QStringLiteral("scan_reply.json")));
    QVERIFY(scan);
    QCOMPARE(*scan,
             (WeComScanResponse{true, std::nullopt, QStringLiteral("已读取企业微信：新增 2 条。"), 5, 2, 7}));

    // A refusal is still a reply that decodes, with neither message nor error.
    const auto refused = wire::decodeWeComScanResponse(R"({"ok": false})");
    QVERIFY(refused);
    QCOMPARE(*refused, (WeComScanResponse{false, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                          std::nullopt}));
}

void TestWireDecoder::decodesFullStateFixture()
{
    const auto decoded = wire::decodeState(fixture(QStringLiteral("state_full.json")));
    QVERIFY2(decoded, decoded ? "" : qPrintable(decoded.error().description()));
    const BridgeStateResponse& state = *decoded;

    QCOMPARE(state.config->watchSource, std::optional(QStringLiteral("notification-db")));
    QCOMPARE(state.config->notificationExcludeKeywords->size(), 3);
    QCOMPARE(state.config->aiProvider->baseUrl,
             std::optional(QStringLiteral("https://api.deepseek.com/chat/completions")));
    QCOMPARE(state.config->aiProvider->hasApiKey, std::optional(false));
    QCOMPARE(state.config->userProfile->aliases, std::optional(QStringList{"Leo", "明哥"}));
    QCOMPARE(state.config->remoteAccessProtected, std::optional(true));
    QCOMPARE(state.config->notifyTodosAndMentions, std::optional(false));
    const QList<AllowlistSnapshot> allowlist = *state.config->wecom->allowlist;
    QCOMPARE(allowlist.size(), 3);
    QCOMPARE(allowlist[2], (AllowlistSnapshot{QStringLiteral("陈总"), QStringLiteral("contact"), false}));
    QCOMPARE(state.config->wechat->allowlist, std::optional(QList<AllowlistSnapshot>()));

    const SummarySnapshot& summary = *state.summary;
    QCOMPARE(summary.totalMessages, std::optional(qint64(34)));
    QCOMPARE(summary.topSessions->first(), (NamedCount{QStringLiteral("项目群"), 7}));
    QCOMPARE(summary.topTopics->last(), (NamedCount{QStringLiteral("待定"), 3}));
    QCOMPARE(summary.highlights->size(), 8);
    QCOMPARE(summary.highlights->at(1).topics, std::optional(QStringList{"周报"}));
    QCOMPARE(summary.highlights->at(0).topics, std::optional(QStringList()));
    QCOMPARE(summary.actionItems->size(), 12);

    QCOMPARE(state.builtInChat->fallbackMode, std::optional(QStringLiteral("local_rules")));
    QCOMPARE(state.agentAccess->tokenRequired, std::optional(true));
    QCOMPARE(state.agentAccess->tokenHeader, std::optional(QStringLiteral("Quillmere")));
    QCOMPARE(state.agentAccess->remoteAgentUrls->size(), 1);
    QCOMPARE(state.agentAccess->notes->size(), 2);

    QStringList keys;
    for (const SetupItemSnapshot& item : *state.setup->items)
        keys << item.key;
    QCOMPARE(keys, (QStringList{"core_service", "wechat_source", "wecom_source", "user_profile",
                                "ai_provider", "remote_access"}));

    const WeComDiagnosticsSnapshot& wecom = *state.diagnostics->wecom;
    QCOMPARE(wecom.status, std::optional(QStringLiteral("ready")));
    QCOMPARE(wecom.captureQuality, std::optional(QStringLiteral("local_snapshot")));
    QCOMPARE(wecom.notificationDb->latestRecId, std::optional(qint64(35)));
    QCOMPARE(wecom.notificationDb->permission->auth, std::optional(qint64(7)));
    QCOMPARE(wecom.notificationDb->permission->bundleId,
             std::optional(QStringLiteral("com.tencent.WeWorkMac")));
    QCOMPARE(wecom.localStore->messageDbSqlite, std::optional(false));
    QCOMPARE(wecom.localSnapshot->previewCount, std::optional(qint64(9)));
    QCOMPARE(wecom.accessibility->windowsVisibleToAx, std::optional(false));
    QCOMPARE(wecom.accessibilityPreview->previewCount, std::optional(qint64(0)));
    QVERIFY(!wecom.accessibilityPreview->error.has_value()); // null in the fixture
    QCOMPARE(wecom.visibleWindow->windowId, std::optional(qint64(4711)));
    QCOMPARE(wecom.visibleWindow->height, std::optional(qint64(800)));
    QCOMPARE(wecom.recommendations->size(), 4);
}

void TestWireDecoder::decodesEventsFixture()
{
    const auto events = wire::decodeEvents(fixture(QStringLiteral("events_120.json")));
    QVERIFY2(events, events ? "" : qPrintable(events.error().description()));
    QCOMPARE(events->size(), 120);
    QCOMPARE(events->at(0).eventId, std::optional(qint64(1000)));
    QCOMPARE(events->at(119).eventId, std::optional(qint64(1119)));

    const BridgeEvent& withoutId = events->at(5); // the fixture drops the id of every 17th from 5 on
    QVERIFY(!withoutId.eventId);
    QCOMPARE(withoutId.stableId(), withoutId.chatTarget.value_or(QString()) + '-' + *withoutId.sessionName +
                                       '-' + *withoutId.senderName + '-' + *withoutId.sentAt + '-' +
                                       withoutId.displayContent());

    const BridgeEvent& voice = events->at(3);
    QCOMPARE(voice.contentType, std::optional(QStringLiteral("voice")));
    QVERIFY(voice.displayContent().endsWith(QStringLiteral("（语音转写）")));

    QSet<QString> ids;
    for (const BridgeEvent& event : *events)
        ids.insert(event.stableId());
    QVERIFY(ids.size() > 100);
}

void TestWireDecoder::rejectsMalformedFixtures_data()
{
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("path");
    auto row = [](const char* decoder, const char* file, Kind kind, const char* path) {
        QTest::newRow(file) << QString::fromLatin1(decoder) << QString::fromLatin1(file) << kind
                            << QString::fromLatin1(path);
    };
    row("state", "malformed_state_deep_wrong_type.json", Kind::WrongType,
        "diagnostics.wecom.visible_window.width");
    row("state", "malformed_state_bool_as_number.json", Kind::WrongType, "config.wecom.allowlist[1].enabled");
    row("state", "malformed_state_named_count_object.json", Kind::WrongType, "summary.top_senders[0]");
    row("state", "malformed_state_setup_item_without_key.json", Kind::MissingField, "setup.items[2].key");
    row("state", "malformed_state_null_in_text_list.json", Kind::WrongType, "summary.action_items[1]");
    row("state", "malformed_state_huge_integer.json", Kind::WrongType, "summary.total_messages");
    row("state", "malformed_state_object_for_list.json", Kind::WrongType, "summary.highlights");
    row("state", "malformed_not_json.txt", Kind::NotJson, "");
    row("events", "malformed_events_missing.json", Kind::MissingField, "events");
    row("events", "malformed_events_id_as_text.json", Kind::WrongType, "events[4].id");
    row("events", "malformed_events_number_for_text.json", Kind::WrongType, "events[7].sent_at");
    row("events", "state_full.json", Kind::MissingField, "events");
}

void TestWireDecoder::rejectsMalformedFixtures()
{
    QFETCH(QString, decoder);
    QFETCH(QString, file);
    QFETCH(Kind, kind);
    QFETCH(QString, path);
    const std::optional<DecodeError> error = failureOf(decoder, fixture(file));
    QVERIFY(error);
    QCOMPARE(error->kind(), kind);
    QCOMPARE(error->path(), path);
    QVERIFY(error->description().startsWith(QStringLiteral("本地核心返回的数据无法解析：")));
}

// The core's sorting of each message, the kind echo and the summary's counts: optional as a
// whole (an older core sends none), strict inside.
void TestWireDecoder::readsSortingKindAndCounts_data()
{
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("failurePath"); // empty: decodes
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* decoder, const char* file, const char* path,
                  const char* expected) {
        QTest::newRow(name) << QString::fromLatin1(decoder) << QString::fromLatin1(file)
                            << QString::fromLatin1(path) << QString::fromUtf8(expected);
    };
    row("sorting present, optional flags absent or null, kind echoed", "events", "events_sorted.json", "",
        "kind todo; 2001{todo important mine due=2026-12-07T18:00:00+08:00}; 2002{suspicious}; "
        "2003{excluded}; unsorted 1");
    row("older core: no sorting, no echo", "events", "events_120.json", "", "kind -; unsorted 120");
    row("counts", "state", "state_counts.json", "", "counts 16/5/9/7/21");
    row("older core: no counts", "state", "state_full.json", "", "counts -");
    row("flag as text", "events", "malformed_events_sorting_flag_as_text.json",
        "events[1].sorting.suspicious", "");
    row("required flag missing", "events", "malformed_events_sorting_missing_flag.json",
        "events[0].sorting.meeting", "");
    row("count missing", "state", "malformed_state_counts_missing_needs_you.json", "summary.counts.needs_you",
        "");
}

void TestWireDecoder::readsSortingKindAndCounts()
{
    QFETCH(QString, decoder);
    QFETCH(QString, file);
    QFETCH(QString, failurePath);
    QFETCH(QString, expected);
    const QByteArray body = fixture(file);
    const std::optional<DecodeError> error = failureOf(decoder, body);
    if (!failurePath.isEmpty()) {
        QVERIFY(error);
        QCOMPARE(error->path(), failurePath);
        return;
    }
    QVERIFY2(!error, error ? qPrintable(error->description()) : "");
    QCOMPARE(sortingOf(decoder, body), expected);
}

void TestWireDecoder::identitiesOfDigestRecords()
{
    QCOMPARE((NamedCount{QStringLiteral("群A"), 12}).identity(), QStringLiteral("群A-12"));
    QCOMPARE((NamedCount{QStringLiteral("-"), -1}).identity(), QStringLiteral("---1"));

    HighlightSnapshot highlight;
    highlight.chatTarget = QStringLiteral("wecom");
    highlight.senderName = QStringLiteral("张三");
    highlight.content = QStringLiteral("开会");
    highlight.topics = QStringList{"会议"};
    QCOMPARE(highlight.identity(), QStringLiteral("wecom--张三--开会"));
    QCOMPARE(HighlightSnapshot().identity(), QStringLiteral("----"));
}

void TestWireDecoder::hashesAllowlistEntriesByAllFields()
{
    const AllowlistSnapshot group{QStringLiteral("项目群"), QStringLiteral("group"), true};
    QSet<AllowlistSnapshot> set{group, group};
    set.insert(AllowlistSnapshot{QStringLiteral("项目群"), QStringLiteral("group"), true});
    QCOMPARE(set.size(), 1);
    set.insert(AllowlistSnapshot{QStringLiteral("项目群"), QStringLiteral("group"), false});
    set.insert(AllowlistSnapshot{QStringLiteral("项目群"), QStringLiteral("contact"), true});
    set.insert(AllowlistSnapshot{QStringLiteral("项目群"), std::nullopt, true});
    set.insert(AllowlistSnapshot{QStringLiteral("项目群"), QString(), true}); // empty is not absent
    set.insert(AllowlistSnapshot{QStringLiteral("项目"), QStringLiteral("group"), true});
    QCOMPARE(set.size(), 6);
    QVERIFY(set.contains(AllowlistSnapshot{QStringLiteral("项目群"), std::nullopt, true}));
}

QTEST_GUILESS_MAIN(TestWireDecoder)
#include "tst_wiredecoder.moc"
