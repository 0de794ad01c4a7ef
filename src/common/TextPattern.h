#pragma once

#include <QRegularExpression>
#include <QString>

// A regular expression over message text, matched the way the message rules read it: by
// characters (one Chinese character is one), `\s` and `\d` with Unicode properties, and `.`
// matching no line terminator at all: LF, CR, VT, FF, U+0085, U+2028 and U+2029 (the engine's
// default stops only at LF, so "我已经\r处理" would read as one line).
inline QRegularExpression textPattern(const QString& pattern)
{
    return QRegularExpression(QStringLiteral("(*ANY)") + pattern,
                              QRegularExpression::UseUnicodePropertiesOption);
}
