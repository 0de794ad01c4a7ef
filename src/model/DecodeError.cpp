#include "model/DecodeError.h"

#include <utility>

DecodeError::DecodeError(Kind kind, QString path, QString expected)
    : m_kind(kind), m_path(std::move(path)), m_expected(std::move(expected))
{
}

DecodeError::DecodeError(QString reason) : m_kind(Kind::WrongType), m_expected(std::move(reason)) {}

QString DecodeError::description() const
{
    static const QString prefix = QStringLiteral("本地核心返回的数据无法解析：");
    const QString where = m_path.isEmpty() ? QStringLiteral("顶层") : m_path;
    switch (m_kind) {
    case Kind::NotJson:
        return prefix + QStringLiteral("回复不是有效的 JSON（%1）").arg(m_expected);
    case Kind::MissingField:
        return prefix + QStringLiteral("缺少必填字段 %1").arg(where);
    case Kind::WrongType:
        break;
    }
    return prefix + QStringLiteral("%1 应为%2").arg(where, m_expected);
}
