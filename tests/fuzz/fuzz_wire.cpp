// The JSON reader and every reply decoder on arbitrary bytes. Besides "no crash, no undefined
// behaviour", it checks that every decoder agrees with the plain reader on what is JSON, that
// the reader agrees with QJsonDocument on well-formed documents, and that strings and exact
// integers read the same as QJsonDocument reads them.

#include "FuzzInput.h"
#include "model/ExactInteger.h"
#include "model/JsonCursor.h"
#include "model/WireDecoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace {

bool wellFormed(QByteArrayView bytes)
{
    JsonCursor cursor(bytes);
    return cursor.skipValue() && cursor.finish();
}

// A decoded document is well-formed JSON; a document that fails only as "not JSON" is not.
template <typename R> void checkDecoder(const Result<R, DecodeError>& result, bool isJson)
{
    if (result) {
        FUZZ_CHECK(isJson);
        return;
    }
    FUZZ_CHECK((result.error().kind() == DecodeError::Kind::NotJson) == !isJson);
    FUZZ_CHECK(!result.error().description().isEmpty());
}

// Nesting deeper than the reader allows is refused on purpose; QJsonDocument allows more.
bool nestsTooDeep(QByteArrayView bytes)
{
    int depth = 0, deepest = 0;
    for (char c : bytes) {
        depth += c == '[' || c == '{';
        deepest = std::max(deepest, depth);
    }
    return deepest > JsonCursor::kMaxDepth;
}

// The top-level array's strings and integers, element by element, against QJsonDocument.
void compareArrayElements(QByteArrayView bytes, const QJsonArray& array)
{
    JsonCursor cursor(bytes);
    FUZZ_CHECK(cursor.beginArray());
    for (qsizetype i = 0;; ++i) {
        const JsonCursor::Step step = cursor.nextElement(i == 0);
        FUZZ_CHECK(step != JsonCursor::Step::Error);
        if (step == JsonCursor::Step::End) {
            FUZZ_CHECK(i == array.size());
            return;
        }
        FUZZ_CHECK(i < array.size());
        const QJsonValue expected = array.at(i);
        if (cursor.peek() == JsonCursor::Kind::String) {
            QString text;
            FUZZ_CHECK(cursor.readString(text));
            // QJsonDocument drops a U+FEFF that opens a string; it is text and razo keeps it.
            const bool leadingBom =
                text.startsWith(QChar(0xfeff)) && !expected.toString().startsWith(QChar(0xfeff));
            FUZZ_CHECK((leadingBom ? text.mid(1) : text) == expected.toString());
        } else if (cursor.peek() == JsonCursor::Kind::Number) {
            std::string_view token;
            FUZZ_CHECK(cursor.readNumber(token));
            qint64 value = 0;
            if (exactInteger(token, value) && value > -(qint64(1) << 53) && value < (qint64(1) << 53))
                FUZZ_CHECK(expected.toDouble() == double(value));
        } else {
            FUZZ_CHECK(cursor.skipValue());
        }
    }
}

void exercise(const QList<BridgeEvent>& events)
{
    for (const BridgeEvent& event : events) {
        FUZZ_CHECK(!event.displayContent().isEmpty());
        FUZZ_CHECK(!event.stableId().isEmpty());
        FUZZ_CHECK(!event.targetLabel().isEmpty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool isJson = wellFormed(body);

    checkDecoder(wire::decodeState(body), isJson);
    const auto events = wire::decodeEvents(body);
    checkDecoder(events, isJson);
    if (events)
        exercise(*events);
    checkDecoder(wire::decodeActionResponse(body), isJson);
    checkDecoder(wire::decodeChatResponse(body), isJson);
    checkDecoder(wire::decodeAskResponse(body), isJson);
    checkDecoder(wire::decodeNativeConfigSaveResponse(body), isJson);
    checkDecoder(wire::decodeWeComScanResponse(body), isJson);

    // QJsonDocument reads only objects and arrays at the top level, and is more lenient than
    // RFC 8259 (raw control characters, unknown escapes, "0." and ".1" pass). So: what razo takes
    // for JSON, QJsonDocument takes too, except numbers beyond the range of a double, which RFC
    // 8259 allows; and razo takes whatever QJsonDocument writes, reading the same strings.
    JsonCursor top(body);
    const JsonCursor::Kind kind = top.peek();
    if ((kind == JsonCursor::Kind::Object || kind == JsonCursor::Kind::Array) && !nestsTooDeep(body)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(body, &error);
        if (isJson)
            FUZZ_CHECK(error.error == QJsonParseError::NoError ||
                       error.error == QJsonParseError::IllegalNumber);
        if (error.error == QJsonParseError::NoError) {
            const QByteArray written = document.toJson(QJsonDocument::Compact);
            FUZZ_CHECK(wellFormed(written));
            if (document.isArray()) {
                compareArrayElements(written, document.array());
                if (isJson)
                    compareArrayElements(body, document.array());
            }
        }
    }
    return 0;
}
