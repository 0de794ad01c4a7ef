#include "ui/overview/logic/OverviewTexts.h"

namespace overviewtext {

QString title(const QDate& date, const QLocale& locale)
{
    QString when;
    switch (locale.language()) {
    case QLocale::Chinese:
    case QLocale::Japanese:
        // The short month name already reads "5月": "5月1日 星期三".
        when = locale.monthName(date.month(), QLocale::ShortFormat) + QString::number(date.day()) +
               QStringLiteral("日 ") + locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
        break;
    default:
        when = locale.toString(date, QStringLiteral("dddd, MMM d"));
        break;
    }
    return QStringLiteral("今天 · ") + when;
}

QString statusLine(bool isRefreshing, const QString& lastError)
{
    if (isRefreshing)
        return QStringLiteral("正在更新本地消息和摘要");
    if (lastError.isEmpty())
        return QStringLiteral("本地监听运行中，重点消息会自动进入工作台");
    return QStringLiteral("需要检查：") + lastError;
}

QStringList digestSentences(qint64 attentionCount, int todoCount, int followUpCount)
{
    return {
        QStringLiteral("你有 %1 件待处理事项，其中 %2 件适合今天推进。")
            .arg(todoCount)
            .arg(std::min(todoCount, 3)),
        QStringLiteral("有 %1 条最近消息需要关注。").arg(attentionCount),
        QStringLiteral("还有 %1 件稍后处理的事项。").arg(followUpCount),
    };
}

QString moreRows(int count)
{
    return QStringLiteral("更多 %1 条").arg(count);
}

QString singleLine(const QString& text)
{
    // A plain walk rather than a regular expression, which would find nothing at all in a text
    // holding an unpaired surrogate.
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n' || c == QChar(0x2028) || c == QChar(0x2029)) {
            out += u' ';
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace overviewtext
