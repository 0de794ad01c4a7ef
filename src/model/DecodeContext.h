#pragma once

#include "model/DecodeError.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

// State of one document's decoding. It collects where a decoding failed: the failing
// reader records what it expected, and every enclosing object or list adds its key or
// index while the failure unwinds, so the successful path never builds paths.
class DecodeContext
{
public:
    explicit DecodeContext(QByteArrayView body = {}) : m_body(body) {}

    // Records the failure at the innermost place; always returns false.
    bool fail(DecodeError::Kind kind, QString expected);
    // Records that the required field `key` of the current object is missing; returns false.
    bool failMissing(QString key);

    void unwindKey(QString key) { m_segments.append({std::move(key), false}); }
    void unwindIndex(qsizetype index) { m_segments.append({QString::number(index), true}); }

    // The failure with its path in the document's own keys, e.g. "summary.top_senders[0]".
    DecodeError error() const;

    // Qt's parser rounds negative integers just below the 64-bit range to the smallest
    // int64, so a decoded minimum is believed only when every number of the body that
    // rounds to it is written exactly as that value. Checked once, on first need.
    bool trustsInt64Min();

private:
    struct Segment
    {
        QString text;
        bool index = false;
    };

    QByteArrayView m_body;
    std::optional<bool> m_int64MinTrusted;
    DecodeError::Kind m_kind = DecodeError::Kind::WrongType;
    QString m_expected;
    QList<Segment> m_segments; // innermost first
};
