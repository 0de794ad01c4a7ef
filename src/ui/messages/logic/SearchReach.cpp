#include "ui/messages/logic/SearchReach.h"

namespace searchreach {

namespace {
QString period(int hours)
{
    return hours % 24 == 0 ? QStringLiteral("最近 %1 天").arg(hours / 24)
                           : QStringLiteral("最近 %1 小时").arg(hours);
}
} // namespace

QString text(const QString& query, qsizetype shown, qsizetype loaded,
             const std::optional<SearchResult>& result, bool searching)
{
    const QString trimmed = query.trimmed();
    if (trimmed.isEmpty())
        return QString();
    if (result && result->query == trimmed) {
        QString line = QStringLiteral("在%1的消息中找到 %2 条").arg(period(result->hours)).arg(shown);
        if (result->events.size() >= result->limit)
            line += QStringLiteral("（只查看了最新的 %1 条匹配）").arg(result->limit);
        return line;
    }
    const QString local = QStringLiteral("在已加载的 %1 条消息中找到 %2 条").arg(loaded).arg(shown);
    return searching ? local + QStringLiteral("，正在搜索更早的消息…") : local;
}

} // namespace searchreach
