#include "api/BridgeAPIError.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

namespace {

// The body as UTF-8 text, or empty text when the bytes are not valid UTF-8.
QString strictUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return {};
    return text;
}

// What an error body says in words: the non-blank text `message`, else `error`, of a JSON
// object (trimmed); empty for any other body.
QString statedReason(const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return {};
    const QJsonObject object = document.object();
    for (const QLatin1String key : {QLatin1String("message"), QLatin1String("error")}) {
        const QJsonValue value = object.value(key);
        if (value.isString() && !value.toString().trimmed().isEmpty())
            return value.toString().trimmed();
    }
    return {};
}

} // namespace

BridgeAPIError BridgeAPIError::http(int status, const QByteArray& body)
{
    BridgeAPIError error;
    error.m_kind = Kind::Http;
    error.m_status = status;
    error.m_body = strictUtf8(body);
    if (!error.m_body.isEmpty())
        error.m_detail = statedReason(body);
    return error;
}

BridgeAPIError BridgeAPIError::refused(const QString& detail)
{
    BridgeAPIError error;
    error.m_kind = Kind::Refused;
    error.m_detail = detail;
    return error;
}

BridgeAPIError BridgeAPIError::connectionLost(const QString& detail)
{
    BridgeAPIError error;
    error.m_kind = Kind::ConnectionLost;
    error.m_detail = detail;
    return error;
}

BridgeAPIError BridgeAPIError::timedOut(const QString& detail)
{
    BridgeAPIError error;
    error.m_kind = Kind::TimedOut;
    error.m_detail = detail;
    return error;
}

BridgeAPIError BridgeAPIError::transport(const QString& detail)
{
    BridgeAPIError error;
    error.m_kind = Kind::Transport;
    error.m_detail = detail;
    return error;
}

BridgeAPIError BridgeAPIError::decode(const QString& description)
{
    BridgeAPIError error;
    error.m_kind = Kind::Decode;
    error.m_detail = description;
    return error;
}

BridgeAPIError BridgeAPIError::cancelled()
{
    BridgeAPIError error;
    error.m_kind = Kind::Cancelled;
    return error;
}

BridgeAPIError BridgeAPIError::foreignCore(const QString& description)
{
    BridgeAPIError error;
    error.m_kind = Kind::ForeignCore;
    error.m_detail = description;
    return error;
}

BridgeAPIError BridgeAPIError::encode(const QString& detail)
{
    BridgeAPIError error;
    error.m_kind = Kind::Encode;
    error.m_detail = detail;
    return error;
}

QString BridgeAPIError::description() const
{
    switch (m_kind) {
    case Kind::Http:
        if (m_body.isEmpty())
            return QStringLiteral("本地接口返回 HTTP %1").arg(m_status);
        return QStringLiteral("本地接口返回 HTTP %1：").arg(m_status) +
               (m_detail.isEmpty() ? m_body : m_detail);
    case Kind::Refused:
        return QStringLiteral("无法连接本地核心 (Could not connect to the server.)");
    case Kind::ConnectionLost:
        return QStringLiteral("与本地核心的连接中断 (The network connection was lost.)");
    case Kind::TimedOut:
        return QStringLiteral("本地核心响应超时 (The request timed out.)");
    case Kind::Transport:
        return m_detail.isEmpty() ? QStringLiteral("本地核心请求失败")
                                  : QStringLiteral("本地核心请求失败：") + m_detail;
    case Kind::Decode:
    case Kind::ForeignCore:
        return m_detail;
    case Kind::Cancelled:
        return QStringLiteral("请求已取消");
    case Kind::Encode:
        return m_detail.isEmpty() ? QStringLiteral("请求内容无法编码")
                                  : QStringLiteral("请求内容无法编码：") + m_detail;
    }
    return m_detail;
}
