#include "store/KeywordList.h"

KeywordList::KeywordList(std::initializer_list<QStringView> words, Qt::CaseSensitivity cs)
    : m_words(words), m_cs(cs)
{
    for (QStringView word : m_words) {
        Q_ASSERT(!word.isEmpty());
        m_firstUnits |= quint64(1) << (word.front().unicode() % 64);
        if (cs == Qt::CaseInsensitive) {
            for (QChar unit : word) {
                if (unit.script() != QChar::Script_Han)
                    m_scan = false;
            }
        }
    }
}

bool KeywordList::foundIn(QStringView text) const
{
    if (!m_scan) {
        for (QStringView word : m_words) {
            if (text.contains(word, m_cs))
                return true;
        }
        return false;
    }
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t unit = text[i].unicode();
        if (!((m_firstUnits >> (unit % 64)) & 1))
            continue;
        for (QStringView word : m_words) {
            if (word.front() == QChar(unit) && word.size() <= n - i && text.sliced(i, word.size()) == word)
                return true;
        }
    }
    return false;
}
