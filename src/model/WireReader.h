#pragma once

// The one generic decoding mechanism behind wire::decode*: every record has a field
// table (field name -> member + reader for the member's type); objects are walked key by
// key, each key converted and matched against the table. Internal to src/model.

#include "common/Result.h"
#include "model/BridgeStateResponse.h"
#include "model/ConvertedKey.h"
#include "model/DecodeContext.h"
#include "model/DecodeError.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1StringView>
#include <initializer_list>
#include <limits>
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

// An integral JSON number within 64 bits. Qt keeps integers exactly up to the int64
// range and stores anything else as a double; toInteger() yields 0 for a double that
// has a fraction or lies outside the range, so a 0 is trusted only when the number is 0.
// Numbers a little below the range come back as the int64 minimum; the context decides
// whether that minimum was really written.
inline bool integralValue(QJsonValueConstRef value, qint64& out, DecodeContext& context)
{
    if (!value.isDouble())
        return false;
    const qint64 n = value.toInteger(0);
    if (n == 0 && value.toDouble() != 0.0)
        return false;
    if (n == std::numeric_limits<qint64>::min() && !context.trustsInt64Min())
        return false;
    out = n;
    return true;
}

template <typename R> struct Field
{
    QLatin1StringView name; // the field name a converted key must equal
    bool (*read)(QJsonValueConstRef, R&, DecodeContext&);
    bool required;
};

template <typename R> class FieldTable
{
public:
    FieldTable(std::initializer_list<Field<R>> fields) : m_fields(fields)
    {
        static_assert(std::is_default_constructible_v<R>);
        Q_ASSERT(m_fields.size() <= 64);
        for (size_t i = 0; i < m_fields.size(); ++i)
            if (m_fields[i].required)
                m_requiredMask |= quint64(1) << i;
    }

    int indexOf(const ConvertedKey& key) const
    {
        for (size_t i = 0; i < m_fields.size(); ++i)
            if (key.equals(m_fields[i].name))
                return int(i);
        return -1;
    }

    const Field<R>& operator[](int index) const { return m_fields[size_t(index)]; }
    quint64 requiredMask() const { return m_requiredMask; }

    // The wire (snake case) name of the first required field not in `seen`.
    QString firstMissing(quint64 seen) const
    {
        for (size_t i = 0; i < m_fields.size(); ++i) {
            if (m_fields[i].required && !(seen & (quint64(1) << i))) {
                QString snake;
                for (char c : m_fields[i].name) {
                    if (c >= 'A' && c <= 'Z') {
                        snake += QLatin1Char('_');
                        c = char(c - 'A' + 'a');
                    }
                    snake += QLatin1Char(c);
                }
                return snake;
            }
        }
        return {};
    }

private:
    std::vector<Field<R>> m_fields;
    quint64 m_requiredMask = 0;
};

// The field table of record R; one explicit specialisation per record.
template <typename R> const FieldTable<R>& fieldsOf();

template <typename R> bool readRecord(const QJsonObject& object, R& out, DecodeContext& context);

// Readers by member type. The primary template handles records.
template <typename T> struct Reader
{
    static bool read(QJsonValueConstRef value, T& out, DecodeContext& context)
    {
        if (!value.isObject())
            return context.fail(DecodeError::Kind::WrongType, expectedObject());
        return readRecord(value.toObject(), out, context);
    }
};

template <> struct Reader<QString>
{
    static bool read(QJsonValueConstRef value, QString& out, DecodeContext& context)
    {
        if (!value.isString())
            return context.fail(DecodeError::Kind::WrongType, expectedText());
        out = value.toString();
        return true;
    }
};

template <> struct Reader<qint64>
{
    static bool read(QJsonValueConstRef value, qint64& out, DecodeContext& context)
    {
        if (!integralValue(value, out, context))
            return context.fail(DecodeError::Kind::WrongType, expectedInteger());
        return true;
    }
};

template <> struct Reader<bool>
{
    static bool read(QJsonValueConstRef value, bool& out, DecodeContext& context)
    {
        if (!value.isBool())
            return context.fail(DecodeError::Kind::WrongType, expectedBool());
        out = value.toBool();
        return true;
    }
};

// A NamedCount travels as ["name", count]. A name that is not text reads as "-" and
// leaves the position where it is; a count that is not an integral number reads as 0;
// further elements are ignored. Only a non-array fails.
template <> struct Reader<NamedCount>
{
    static bool read(QJsonValueConstRef value, NamedCount& out, DecodeContext& context)
    {
        if (!value.isArray())
            return context.fail(DecodeError::Kind::WrongType, expectedNamedCount());
        const QJsonArray array = value.toArray();
        auto it = array.constBegin();
        const auto end = array.constEnd();
        if (it != end && (*it).isString()) {
            out.name = (*it).toString();
            ++it;
        } else {
            out.name = QStringLiteral("-");
        }
        if (it == end || !integralValue(*it, out.count, context))
            out.count = 0;
        return true;
    }
};

template <typename T> struct Reader<QList<T>>
{
    static bool read(QJsonValueConstRef value, QList<T>& out, DecodeContext& context)
    {
        if (!value.isArray())
            return context.fail(DecodeError::Kind::WrongType, expectedList());
        const QJsonArray array = value.toArray();
        out.clear();
        out.reserve(array.size());
        qsizetype index = 0;
        for (auto it = array.constBegin(), end = array.constEnd(); it != end; ++it, ++index) {
            // null inside a list is an element of the wrong type, not an absent one
            if (!Reader<T>::read(*it, out.emplace_back(), context)) {
                context.unwindIndex(index);
                return false;
            }
        }
        return true;
    }
};

template <typename T> struct Reader<std::optional<T>>
{
    static bool read(QJsonValueConstRef value, std::optional<T>& out, DecodeContext& context)
    {
        return Reader<T>::read(value, out.emplace(), context);
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
            [](QJsonValueConstRef value, Record& record, DecodeContext& context) {
                return Reader<Type>::read(value, record.*Member, context);
            },
            !isOptional<Type>};
}

template <typename R> bool readRecord(const QJsonObject& object, R& out, DecodeContext& context)
{
    const FieldTable<R>& table = fieldsOf<R>();
    quint64 seen = 0;
    for (auto it = object.constBegin(), end = object.constEnd(); it != end; ++it) {
        QString key = it.key();
        const int index = table.indexOf(ConvertedKey(key));
        if (index < 0)
            continue; // unknown keys are ignored
        const QJsonValueConstRef value = it.value();
        if (value.isNull())
            continue; // null means absent
        if (!table[index].read(value, out, context)) {
            context.unwindKey(std::move(key));
            return false;
        }
        seen |= quint64(1) << index;
    }
    if ((seen & table.requiredMask()) != table.requiredMask())
        return context.failMissing(table.firstMissing(seen));
    return true;
}

// Decodes a whole reply body into record R, or says where and why it cannot.
template <typename R> Result<R, DecodeError> decodeDocument(const QByteArray& body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return DecodeError(
            DecodeError::Kind::NotJson, QString(),
            QStringLiteral("第 %1 字节：%2").arg(parseError.offset).arg(parseError.errorString()));
    if (!document.isObject())
        return DecodeError(DecodeError::Kind::WrongType, QString(), expectedObject());
    R out;
    DecodeContext context(body);
    if (!readRecord(document.object(), out, context))
        return context.error();
    return out;
}

} // namespace wire::detail
