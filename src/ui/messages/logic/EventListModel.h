#pragma once

#include "model/BridgeEvent.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <optional>

// The timeline's rows, tracked by the messages' stableId. A refresh is applied as a minimal
// change (rows removed, moved, inserted, changed in place), so that selections and the scroll
// position of an attached view survive it and unchanged rows are never rebuilt.
class EventListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        StableIdRole = Qt::UserRole + 1,
        BadgeRole,      // targetLabel
        IsWeComRole,    // chat target exactly "wecom" (blue badge)
        SessionRole,    // session name or "未知会话"
        SenderRole,     // sender name, empty when absent
        SentAtRole,     // send time as received, empty when absent
        MessageRole,    // displayContent
        SuspiciousRole, // the core's sorting says it looks like a scam (a red warning badge)
    };

    // What one refresh did to the rows.
    struct ApplyStats
    {
        int removed = 0;
        int inserted = 0;
        int moved = 0;
        int changed = 0;
        bool reset = false; // too many scattered changes: rebuilt as a whole
        bool operator==(const ApplyStats&) const = default;
    };

    // Above this many separate remove/move/insert steps a refresh resets the model instead.
    static constexpr int maxStructuralSteps = 256;

    explicit EventListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<BridgeEvent>& events() const { return m_events; }
    const BridgeEvent& eventAt(int row) const { return m_events.at(row); }
    // Row of the message with this stableId, or -1.
    int rowOf(const QString& stableId) const;

    ApplyStats setEvents(const QList<BridgeEvent>& events);

    // Text read by assistive technology for one message: badge, the scam warning, session,
    // sender, time, message.
    static QString accessibleText(const BridgeEvent& event);
    static bool isSuspicious(const BridgeEvent& event);
    static QString suspiciousBadge(); // "疑似诈骗"
    static QString sessionText(const BridgeEvent& event);

private:
    // `targets`: the new position of every current row, in current order.
    void applyMoves(const QList<int>& targets, const QList<bool>& staying);
    void applyByReordering(const QList<int>& targets);

public:
    // Identity of a row: the stableId (the event id itself when present, which is cheaper to
    // hash), and which occurrence of that identity it is, so that duplicates stay apart.
    struct RowKey
    {
        std::optional<qint64> id;
        QString text; // stableId when there is no id
        int occurrence = 0;
        size_t hash = 0; // computed once with the key
        bool operator==(const RowKey& o) const
        {
            return hash == o.hash && id == o.id && occurrence == o.occurrence && text == o.text;
        }
    };

private:
    QList<BridgeEvent> m_events;
    QList<RowKey> m_keys;
};

inline size_t qHash(const EventListModel::RowKey& key, size_t seed = 0)
{
    return key.hash ^ seed;
}
