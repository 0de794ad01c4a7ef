#include "model/DecodeContext.h"

bool DecodeContext::fail(DecodeError::Kind kind, QString expected)
{
    m_kind = kind;
    m_expected = std::move(expected);
    m_segments.clear();
    return false;
}

bool DecodeContext::failMissing(QString key)
{
    fail(DecodeError::Kind::MissingField, QStringLiteral("必填字段"));
    unwindKey(std::move(key));
    return false;
}

DecodeError DecodeContext::error() const
{
    QString path;
    for (auto it = m_segments.crbegin(); it != m_segments.crend(); ++it) {
        if (it->index) {
            path += QLatin1Char('[') + it->text + QLatin1Char(']');
        } else {
            if (!path.isEmpty())
                path += QLatin1Char('.');
            path += it->text;
        }
    }
    return DecodeError(m_kind, path, m_expected);
}
