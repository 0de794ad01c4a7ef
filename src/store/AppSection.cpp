#include "store/AppSection.h"

namespace appsection {

QList<AppSection> all()
{
    return {AppSection::Overview, AppSection::Messages, AppSection::Chat, AppSection::Settings};
}

QString identifier(AppSection s)
{
    switch (s) {
    case AppSection::Overview:
        return QStringLiteral("overview");
    case AppSection::Messages:
        return QStringLiteral("messages");
    case AppSection::Chat:
        return QStringLiteral("chat");
    case AppSection::Settings:
        return QStringLiteral("settings");
    }
    return {};
}

QString title(AppSection s)
{
    switch (s) {
    case AppSection::Overview:
        return QStringLiteral("首页");
    case AppSection::Messages:
        return QStringLiteral("消息");
    case AppSection::Chat:
        return QStringLiteral("助手");
    case AppSection::Settings:
        return QStringLiteral("设置");
    }
    return {};
}

QString iconName(AppSection s)
{
    switch (s) {
    case AppSection::Overview:
        return QStringLiteral("house.fill");
    case AppSection::Messages:
        return QStringLiteral("tray.full");
    case AppSection::Chat:
        return QStringLiteral("sparkles");
    case AppSection::Settings:
        return QStringLiteral("gearshape");
    }
    return {};
}

} // namespace appsection
