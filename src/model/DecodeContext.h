#pragma once

#include "model/DecodeError.h"

#include <QList>
#include <QString>

// Collects where a decoding failed. The failing reader records what it expected; every
// enclosing object or list then adds its key or index while the failure unwinds, so the
// successful path never spends anything on building paths.
class DecodeContext
{
public:
    // Records the failure at the innermost place; always returns false.
    bool fail(DecodeError::Kind kind, QString expected);
    // Records that the required field `key` of the current object is missing; returns false.
    bool failMissing(QString key);

    void unwindKey(QString key) { m_segments.append({std::move(key), false}); }
    void unwindIndex(qsizetype index) { m_segments.append({QString::number(index), true}); }

    // The failure with its path in the document's own keys, e.g. "summary.top_senders[0]".
    DecodeError error() const;

private:
    struct Segment
    {
        QString text;
        bool index = false;
    };

    DecodeError::Kind m_kind = DecodeError::Kind::WrongType;
    QString m_expected;
    QList<Segment> m_segments; // innermost first
};
