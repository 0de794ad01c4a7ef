#pragma once

#include <QString>

// Why a reply body of the core could not be decoded. `path` names the place in the
// document in the core's own keys ("summary.top_senders[0]"; empty for the top level),
// `expected` what should have been there ("整数", "对象", ...).
class DecodeError
{
public:
    enum class Kind {
        NotJson,      // the body is not JSON at all
        WrongType,    // a present value has the wrong JSON type (also a non-object top level)
        MissingField, // a required field is missing or null
    };

    DecodeError() = default;
    DecodeError(Kind kind, QString path, QString expected);

    Kind kind() const { return m_kind; }
    const QString& path() const { return m_path; }
    const QString& expected() const { return m_expected; }

    // A readable sentence naming the place and the expectation, e.g.
    // "本地核心返回的数据无法解析：summary.total_messages 应为整数".
    QString description() const;

    bool operator==(const DecodeError&) const = default;

private:
    Kind m_kind = Kind::WrongType;
    QString m_path;
    QString m_expected;
};
