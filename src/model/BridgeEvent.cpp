#include "model/BridgeEvent.h"

QString BridgeEvent::stableId() const
{
    if (eventId)
        return QString::number(*eventId);
    const QLatin1Char dash('-');
    return chatTarget.value_or(QString()) + dash + sessionName.value_or(QString()) + dash +
           senderName.value_or(QString()) + dash + sentAt.value_or(QString()) + dash + displayContent();
}

QString BridgeEvent::displayContent() const
{
    if (transcript && !transcript->isEmpty())
        return *transcript;
    if (content && !content->isEmpty())
        return *content;
    return QStringLiteral("（暂无正文）");
}

QString BridgeEvent::targetLabel() const
{
    if (chatTarget == QLatin1String("wecom"))
        return QStringLiteral("企业微信");
    if (chatTarget == QLatin1String("wechat"))
        return QStringLiteral("微信");
    return QStringLiteral("消息");
}
