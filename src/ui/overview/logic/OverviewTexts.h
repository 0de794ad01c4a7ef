#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>

// The fixed sentences of the overview, built from plain values.
namespace overviewtext {

// "今天 · " + the date as abbreviated month, day and full weekday in `locale`.
QString title(const QDate& date, const QLocale& locale);
// Status line of the top bar: refreshing first, then no error, then the error itself.
QString statusLine(bool isRefreshing, const QString& lastError);
// The three digest sentences of the summary card.
QStringList digestSentences(qint64 attentionCount, int todoCount, int followUpCount);
// "更多 N 条".
QString moreRows(int count);
// The text with every line break (CRLF, LF, CR, U+2028, U+2029) replaced by one space.
QString singleLine(const QString& text);

} // namespace overviewtext
