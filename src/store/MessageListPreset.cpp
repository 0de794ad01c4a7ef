#include "store/MessageListPreset.h"

namespace messagepreset {

QList<MessageListPreset> all()
{
    return {MessageListPreset::All, MessageListPreset::Todo, MessageListPreset::Important,
            MessageListPreset::Meeting, MessageListPreset::FollowUp};
}

QString rawValue(MessageListPreset p)
{
    switch (p) {
    case MessageListPreset::All:
        return QStringLiteral("all");
    case MessageListPreset::Todo:
        return QStringLiteral("todo");
    case MessageListPreset::Important:
        return QStringLiteral("important");
    case MessageListPreset::Meeting:
        return QStringLiteral("meeting");
    case MessageListPreset::FollowUp:
        return QStringLiteral("followUp");
    }
    return {};
}

std::optional<MessageListPreset> fromRawValue(const QString& raw)
{
    for (MessageListPreset p : all()) {
        if (rawValue(p) == raw)
            return p;
    }
    return std::nullopt;
}

QString segmentLabel(MessageListPreset p)
{
    switch (p) {
    case MessageListPreset::All:
        return QStringLiteral("全部");
    case MessageListPreset::Todo:
        return QStringLiteral("待办");
    case MessageListPreset::Important:
        return QStringLiteral("重要");
    case MessageListPreset::Meeting:
        return QStringLiteral("会议");
    case MessageListPreset::FollowUp:
        return QStringLiteral("稍后");
    }
    return {};
}

QString heading(MessageListPreset p)
{
    switch (p) {
    case MessageListPreset::All:
        return QStringLiteral("最近 7 天消息");
    case MessageListPreset::Todo:
        return QStringLiteral("待处理消息");
    case MessageListPreset::Important:
        return QStringLiteral("重要消息");
    case MessageListPreset::Meeting:
        return QStringLiteral("会议相关");
    case MessageListPreset::FollowUp:
        return QStringLiteral("稍后处理");
    }
    return {};
}

std::optional<QString> coreKind(MessageListPreset p)
{
    switch (p) {
    case MessageListPreset::All:
        return std::nullopt;
    case MessageListPreset::Todo:
        return QStringLiteral("todo");
    case MessageListPreset::Important:
        return QStringLiteral("important");
    case MessageListPreset::Meeting:
        return QStringLiteral("meeting");
    case MessageListPreset::FollowUp:
        return QStringLiteral("follow_up");
    }
    return std::nullopt;
}

} // namespace messagepreset
