#include "common/RegexSubject.h"

QString regexSubject(const QString& text)
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
