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

// The text to hand to such an expression. PCRE refuses a subject that is not valid UTF-16 and Qt
// then reports no match anywhere in it: one unpaired surrogate (an emoji cut in half by the
// sending app, say) would hide every match in a message. Each unpaired surrogate becomes
// U+FFFD, one unit for one, so match offsets still fit the original text. Without one the text
// itself is returned (shared, not copied).
inline QString regexSubject(const QString& text)
{
    QString out; // stays null while the text is valid
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (out.isNull())
            out = text;
        out[i] = QChar::ReplacementCharacter;
    }
    return out.isNull() ? text : out;
}
