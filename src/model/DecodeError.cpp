#include "model/DecodeError.h"

#include <utility>

DecodeError::DecodeError(Kind kind, QString path, QString expected)
    : m_kind(kind), m_path(std::move(path)), m_expected(std::move(expected))
{
}

QString DecodeError::description() const
{
    static const QString prefix = QStringLiteral("本地核心返回的数据无法解析：");
    // "顶层应为对象" for the document itself, "summary.total_messages 应为整数" inside it
    const QString where = m_path.isEmpty() ? QStringLiteral("顶层") : m_path + QLatin1Char(' ');
    switch (m_kind) {
    case Kind::NotJson:
        return prefix + QStringLiteral("回复不是有效的 JSON") +
               (m_expected.isEmpty() ? QString() : QStringLiteral("（%1）").arg(m_expected));
    case Kind::MissingField:
        return prefix + QStringLiteral("缺少必填字段 %1").arg(m_path);
    case Kind::WrongType:
        break;
    }
    return prefix + where + QStringLiteral("应为") + m_expected;
}
