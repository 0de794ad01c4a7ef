#include "model/ConvertedKey.h"

namespace {

constexpr QChar kUnderscore = u'_';

// Emits one code point as one or two UTF-16 units; stops when the sink refuses.
template <typename Sink> bool produceCodePoint(char32_t cp, Sink& sink)
{
    if (QChar::requiresSurrogates(cp))
        return sink(QChar(QChar::highSurrogate(cp))) && sink(QChar(QChar::lowSurrogate(cp)));
    return sink(QChar(char16_t(cp)));
}

} // namespace

ConvertedKey::ConvertedKey(QStringView key) : m_key(key), m_end(key.size())
{
    while (m_begin < m_end && m_key[m_begin] == kUnderscore)
        ++m_begin;
    while (m_end > m_begin && m_key[m_end - 1] == kUnderscore)
        --m_end;
    for (qsizetype i = m_begin; i < m_end && !m_split; ++i)
        m_split = m_key[i] == kUnderscore;
}

template <typename Sink> bool ConvertedKey::produce(Sink&& sink) const
{
    if (!m_split) {
        // Nothing to convert: an empty key, underscores only, or a single piece.
        for (QChar c : m_key)
            if (!sink(c))
                return false;
        return true;
    }
    for (qsizetype i = 0; i < m_begin; ++i)
        if (!sink(kUnderscore))
            return false;

    bool firstPiece = true;
    bool atPieceStart = true;
    for (qsizetype i = m_begin; i < m_end; ++i) {
        const QChar c = m_key[i];
        if (c == kUnderscore) {
            if (!atPieceStart)
                firstPiece = false;
            atPieceStart = true;
            continue;
        }
        const bool upper = atPieceStart && !firstPiece;
        atPieceStart = false;
        const char16_t unit = c.unicode();
        if (unit < 0x80) { // ASCII, by far the common case
            const bool isLower = unit >= u'a' && unit <= u'z';
            const bool isUpper = unit >= u'A' && unit <= u'Z';
            const char16_t mapped = upper && isLower    ? char16_t(unit - 32)
                                    : !upper && isUpper ? char16_t(unit + 32)
                                                        : unit;
            if (!sink(QChar(mapped)))
                return false;
            continue;
        }
        char32_t cp = unit;
        if (c.isHighSurrogate() && i + 1 < m_end && m_key[i + 1].isLowSurrogate())
            cp = QChar::surrogateToUcs4(c, m_key[++i]);
        if (!produceCodePoint(upper ? QChar::toUpper(cp) : QChar::toLower(cp), sink))
            return false;
    }

    for (qsizetype i = m_end; i < m_key.size(); ++i)
        if (!sink(kUnderscore))
            return false;
    return true;
}

QString ConvertedKey::toString() const
{
    if (!m_split)
        return m_key.toString();
    QString out;
    out.reserve(m_key.size());
    produce([&out](QChar c) {
        out.append(c);
        return true;
    });
    return out;
}

bool ConvertedKey::equals(QLatin1StringView name) const
{
    if (!m_split)
        return m_key == name;
    qsizetype pos = 0;
    const bool same = produce([&](QChar c) {
        if (pos >= name.size() || c != QLatin1Char(name[pos]))
            return false;
        ++pos;
        return true;
    });
    return same && pos == name.size();
}
