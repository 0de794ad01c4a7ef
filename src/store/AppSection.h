#pragma once

#include <QList>
#include <QString>

// The four sections of the window, in sidebar order.
enum class AppSection { Overview, Messages, Chat, Settings };

namespace appsection {
QList<AppSection> all();
QString identifier(AppSection s); // "overview", "messages", "chat", "settings"
QString title(AppSection s);      // "首页", "消息", "助手", "设置"
QString iconName(AppSection s);   // "house.fill", "tray.full", "sparkles", "gearshape"
} // namespace appsection
