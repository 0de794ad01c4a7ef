#pragma once

// The one generic decoding mechanism behind wire::decode*: every record has a field
// table (field name -> member + reader for the member's type). A document is read in one
// pass over its text; each object key is matched against the table of the record being
// filled and its value read by that field's reader. Internal to src/model.

#include "common/Result.h"
#include "model/BridgeStateResponse.h"
#include "model/ConvertedKey.h"
#include "model/DecodeContext.h"
#include "model/DecodeError.h"
#include "model/ExactInteger.h"
#include "model/JsonCursor.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <initializer_list>
#include <optional>
#include <type_traits>
#include <vector>

namespace wire::detail {

// What a reader expected, as it appears in DecodeError::description().
inline QString expectedText()
{
    return QStringLiteral("文本");
}
inline QString expectedInteger()
{
    return QStringLiteral("整数");
}
inline QString expectedBool()
{
    return QStringLiteral("布尔值（true 或 false）");
}
inline QString expectedList()
{
    return QStringLiteral("列表");
}
inline QString expectedObject()
{
    return QStringLiteral("对象");
}
inline QString expectedNamedCount()
{
    return QStringLiteral("[名称, 数量] 形式的数组");
}

template <typename R> struct Field
{
    QLatin1StringView name; // the field name a converted key must equal
    bool (*read)(JsonCursor&, R&, DecodeContext&);
    bool required;
};

template <typename R> class FieldTable
{
public:
    FieldTable(std::initializer_list<Field<R>> fields) : m_fields(fields)
    {
        static_assert(std::is_default_constructible_v<R>);
        Q_ASSERT(m_fields.size() <= 64);
        for (size_t i = 0; i < m_fields.size(); ++i) {
            if (m_fields[i].required)
                m_requiredMask |= quint64(1) << i;
            // The snake-case spelling the core writes; kept only if it converts back to
            // the field name, so the shortcut below can never disagree with the rule.
            QByteArray snake = snakeCase(m_fields[i].name);
            if (!ConvertedKey(QString::fromLatin1(snake)).equals(m_fields[i].name))
                snake = QByteArray(m_fields[i].name.data(), m_fields[i].name.size());
            m_snake.push_back(std::move(snake));
        }
    }

    // The field the current key of `cursor` fills, or -1. The spellings the core uses
    // (the snake-case key, or the field name itself) are compared on the raw bytes;
    // anything else goes through the conversion rule.
    int indexOf(const JsonCursor& cursor) const
    {
        const QByteArrayView raw = cursor.keyBytes();
        if (!cursor.keyEscaped()) {
            for (size_t i = 0; i < m_fields.size(); ++i)
                if (raw == QByteArrayView(m_snake[i]) || raw == QByteArrayView(m_fields[i].name))
                    return int(i);
            if (!raw.contains('_'))
                return -1; // a single piece converts to itself: compared already
        }
        const QString key = cursor.keyText();
        const ConvertedKey converted(key);
        for (size_t i = 0; i < m_fields.size(); ++i)
            if (converted.equals(m_fields[i].name))
                return int(i);
        return -1;
    }

    const Field<R>& operator[](int index) const { return m_fields[size_t(index)]; }
    quint64 requiredMask() const { return m_requiredMask; }

    // The wire (snake case) name of the first required field not in `seen`.
    QString firstMissing(quint64 seen) const
    {
        for (size_t i = 0; i < m_fields.size(); ++i)
            if (m_fields[i].required && !(seen & (quint64(1) << i)))
                return QString::fromLatin1(m_snake[i]);
        return {};
    }

private:
    static QByteArray snakeCase(QLatin1StringView name)
    {
        QByteArray snake;
        for (char c : name) {
            if (c >= 'A' && c <= 'Z') {
                snake += '_';
                c = char(c - 'A' + 'a');
            }
            snake += c;
        }
        return snake;
    }

    std::vector<Field<R>> m_fields;
    std::vector<QByteArray> m_snake;
    quint64 m_requiredMask = 0;
};

// The field table of record R; one explicit specialisation per record.
template <typename R> const FieldTable<R>& fieldsOf();

template <typename R> bool readRecord(JsonCursor& cursor, R& out, DecodeContext& context);

// Readers by member type. Each reads one present, non-null value at the cursor. A
// syntax error leaves the cursor failed; a value of the wrong type is reported to the
// context. The primary template handles records.
template <typename T> struct Reader
{
    static bool read(JsonCursor& cursor, T& out, DecodeContext& context)
    {
        if (cursor.peek() != JsonCursor::Kind::Object)
            return context.fail(DecodeError::Kind::WrongType, expectedObject());
        return readRecord(cursor, out, context);
    }
};

template <> struct Reader<QString>
{
    static bool read(JsonCursor& cursor, QString& out, DecodeContext& context)
    {
        if (cursor.peek() != JsonCursor::Kind::String)
            return context.fail(DecodeError::Kind::WrongType, expectedText());
        return cursor.readString(out);
    }
};

template <> struct Reader<qint64>
{
    static bool read(JsonCursor& cursor, qint64& out, DecodeContext& context)
    {
        std::string_view token;
        if (cursor.peek() != JsonCursor::Kind::Number)
            return context.fail(DecodeError::Kind::WrongType, expectedInteger());
        if (!cursor.readNumber(token))
            return false;
        if (!exactInteger(token, out))
            return context.fail(DecodeError::Kind::WrongType, expectedInteger());
        return true;
    }
};

template <> struct Reader<bool>
{
    static bool read(JsonCursor& cursor, bool& out, DecodeContext& context)
    {
        if (cursor.peek() != JsonCursor::Kind::Bool)
            return context.fail(DecodeError::Kind::WrongType, expectedBool());
        return cursor.readBool(out);
    }
};

// A NamedCount travels as ["name", count]. A name that is not text reads as "-" and
// leaves the position where it is; a count that is not an integral number reads as 0;
// further elements are ignored. Only a non-array fails.
template <> struct Reader<NamedCount>
{
    static bool read(JsonCursor& cursor, NamedCount& out, DecodeContext& context)
    {
        if (cursor.peek() != JsonCursor::Kind::Array)
            return context.fail(DecodeError::Kind::WrongType, expectedNamedCount());
        if (!cursor.beginArray())
            return false;
        out.name = QStringLiteral("-");
        out.count = 0;
        JsonCursor::Step step = cursor.nextElement(true);
        if (step == JsonCursor::Step::Item && cursor.peek() == JsonCursor::Kind::String) {
            if (!cursor.readString(out.name))
                return false;
            step = cursor.nextElement(false);
        }
        if (step == JsonCursor::Step::Item && cursor.peek() == JsonCursor::Kind::Number) {
            std::string_view token;
            if (!cursor.readNumber(token))
                return false;
            if (!exactInteger(token, out.count))
                out.count = 0;
            step = cursor.nextElement(false);
        }
        // whatever is left (the element the count could not be read from included)
        while (step == JsonCursor::Step::Item) {
            if (!cursor.skipValue())
                return false;
            step = cursor.nextElement(false);
        }
        return step == JsonCursor::Step::End;
    }
};

template <typename T> struct Reader<QList<T>>
{
    static bool read(JsonCursor& cursor, QList<T>& out, DecodeContext& context)
    {
        if (cursor.peek() != JsonCursor::Kind::Array)
            return context.fail(DecodeError::Kind::WrongType, expectedList());
        if (!cursor.beginArray())
            return false;
        out.clear();
        qsizetype index = 0;
        for (;; ++index) {
            const JsonCursor::Step step = cursor.nextElement(index == 0);
            if (step != JsonCursor::Step::Item)
                return step == JsonCursor::Step::End;
            // null inside a list is an element of the wrong type, not an absent one
            if (!Reader<T>::read(cursor, out.emplace_back(), context)) {
                context.unwindIndex(index);
                return false;
            }
        }
    }
};

template <typename T> struct Reader<std::optional<T>>
{
    static bool read(JsonCursor& cursor, std::optional<T>& out, DecodeContext& context)
    {
        return Reader<T>::read(cursor, out.emplace(), context);
    }
};

template <auto Member> struct MemberOf;

template <typename R, typename M, M R::*P> struct MemberOf<P>
{
    using Record = R;
    using Type = M;
};

template <typename T> inline constexpr bool isOptional = false;
template <typename T> inline constexpr bool isOptional<std::optional<T>> = true;

// One table entry: `name` is what a converted key must equal; a member that is not
// std::optional is required.
template <auto Member> Field<typename MemberOf<Member>::Record> field(QLatin1StringView name)
{
    using Record = typename MemberOf<Member>::Record;
    using Type = typename MemberOf<Member>::Type;
    return {name,
            [](JsonCursor& cursor, Record& record, DecodeContext& context) {
                return Reader<Type>::read(cursor, record.*Member, context);
            },
            !isOptional<Type>};
}

// Keys that match no field are skipped (their values still have to be valid JSON); null
// leaves a field absent; a key given twice is read twice, the later value winning.
template <typename R> bool readRecord(JsonCursor& cursor, R& out, DecodeContext& context)
{
    const FieldTable<R>& table = fieldsOf<R>();
    if (!cursor.beginObject())
        return false;
    quint64 seen = 0;
    for (bool first = true;; first = false) {
        const JsonCursor::Step step = cursor.nextMember(first);
        if (step == JsonCursor::Step::End)
            break;
        if (step == JsonCursor::Step::Error)
            return false;
        const int index = table.indexOf(cursor);
        if (index < 0) {
            if (!cursor.skipValue())
                return false;
            continue;
        }
        if (cursor.peek() == JsonCursor::Kind::Null) {
            if (!cursor.readNull())
                return false;
            continue;
        }
        const QByteArrayView key = cursor.keyBytes();
        const bool escaped = cursor.keyEscaped();
        if (!table[index].read(cursor, out, context)) {
            context.unwindKey(JsonCursor::decode(key, escaped));
            return false;
        }
        seen |= quint64(1) << index;
    }
    if ((seen & table.requiredMask()) != table.requiredMask())
        return context.failMissing(table.firstMissing(seen));
    return true;
}

inline DecodeError notJson(const JsonCursor& cursor)
{
    return DecodeError(DecodeError::Kind::NotJson, QString(),
                       QStringLiteral("第 %1 字节：%2")
                           .arg(cursor.errorOffset())
                           .arg(QString::fromUtf8(cursor.errorReason())));
}

// Decodes a whole reply body into record R, or says where and why it cannot. A body that
// is not well-formed JSON is reported as such even when a type error comes first.
template <typename R> Result<R, DecodeError> decodeDocument(QByteArrayView body)
{
    JsonCursor cursor(body);
    if (cursor.peek() != JsonCursor::Kind::Object) {
        if (cursor.skipValue() && cursor.finish())
            return DecodeError(DecodeError::Kind::WrongType, QString(), expectedObject());
        return notJson(cursor);
    }
    R out;
    DecodeContext context;
    if (readRecord(cursor, out, context)) {
        if (cursor.finish())
            return out;
        return notJson(cursor);
    }
    if (cursor.failed())
        return notJson(cursor);
    JsonCursor whole(body);
    if (!whole.skipValue() || !whole.finish())
        return notJson(whole);
    return context.error();
}

} // namespace wire::detail
