#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

// An object key of a reply document seen through the snake_case -> camelCase rule:
//   - an empty key, or one made only of underscores, stays as it is;
//   - leading and trailing underscores are kept around the result unchanged;
//   - the middle is split at underscores (runs count as one separator);
//   - a single piece keeps its letter case exactly;
//   - with two or more pieces the first is lower-cased and every following piece is
//     capitalised (first letter upper, the rest lower), joined without separator.
// The key is analysed once; `equals` then compares the converted form against a field
// name without building it. The decoder needs this only for keys that are neither the
// snake-case key of a field nor its name.
class ConvertedKey
{
public:
    explicit ConvertedKey(QStringView key);

    QString toString() const;
    bool equals(QLatin1StringView name) const;

private:
    template <typename Sink> bool produce(Sink&& sink) const;

    QStringView m_key;
    qsizetype m_begin = 0; // first character of the middle part
    qsizetype m_end = 0;   // one past its last character
    bool m_split = false;  // the middle holds at least one underscore
};
