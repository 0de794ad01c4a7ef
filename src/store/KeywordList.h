#pragma once

#include <QList>
#include <QStringView>
#include <initializer_list>

// A fixed list of keywords tested as substrings of a text: true when any entry occurs.
// Built once from string literals (the views must outlive the list). One pass over the
// text with a first-character filter, instead of one substring search per keyword.
class KeywordList
{
public:
    // Case-insensitive lists take the same fast path when every keyword is made of Han
    // characters (which have no letter case); otherwise they search keyword by keyword.
    KeywordList(std::initializer_list<QStringView> words, Qt::CaseSensitivity cs = Qt::CaseSensitive);

    bool foundIn(QStringView text) const;

private:
    QList<QStringView> m_words;
    Qt::CaseSensitivity m_cs;
    bool m_scan = true;       // false: QStringView::contains per keyword
    quint64 m_firstUnits = 0; // bit (unit % 64) set for the first code unit of each keyword
};
