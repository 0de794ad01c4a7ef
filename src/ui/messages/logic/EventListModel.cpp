#include "ui/messages/logic/EventListModel.h"

#include <QHash>
#include <algorithm>

namespace {

using RowKey = EventListModel::RowKey;

RowKey keyOf(const BridgeEvent& event, int occurrence)
{
    RowKey key;
    key.id = event.eventId;
    if (!event.eventId)
        key.text = event.stableId();
    key.occurrence = occurrence;
    key.hash =
        event.eventId ? qHashMulti(0, *event.eventId, occurrence) : qHashMulti(0, key.text, occurrence);
    return key;
}

// The key of every message, and the position of every key; a repeated identity gets the next
// occurrence number.
QList<RowKey> keysOf(const QList<BridgeEvent>& events, QHash<RowKey, int>& positions)
{
    QList<RowKey> keys;
    keys.reserve(events.size());
    positions.reserve(events.size());
    for (qsizetype i = 0; i < events.size(); ++i) {
        RowKey key = keyOf(events[i], 0);
        for (;;) {
            const qsizetype before = positions.size();
            int& pos = positions[key];
            if (positions.size() > before) {
                pos = int(i);
                break;
            }
            key = keyOf(events[i], key.occurrence + 1);
        }
        keys.append(std::move(key));
    }
    return keys;
}

// Marks the members of one longest strictly increasing subsequence of `values`.
QList<bool> longestIncreasing(const QList<int>& values)
{
    const qsizetype n = values.size();
    QList<int> tailValue;       // smallest tail value of an increasing run of each length
    QList<qsizetype> tailIndex; // index of that tail
    QList<qsizetype> previous(n, -1);
    for (qsizetype i = 0; i < n; ++i) {
        const auto pos = std::lower_bound(tailValue.begin(), tailValue.end(), values[i]) - tailValue.begin();
        if (pos > 0)
            previous[i] = tailIndex[pos - 1];
        if (pos == tailValue.size()) {
            tailValue.append(values[i]);
            tailIndex.append(i);
        } else {
            tailValue[pos] = values[i];
            tailIndex[pos] = i;
        }
    }
    QList<bool> member;
    member.resize(n); // value-initialised: false
    for (qsizetype i = tailIndex.isEmpty() ? -1 : tailIndex.last(); i >= 0; i = previous[i])
        member[i] = true;
    return member;
}

// Number of runs of `true` in `flags`.
int runsOf(const QList<bool>& flags)
{
    int runs = 0;
    for (qsizetype i = 0; i < flags.size(); ++i) {
        if (flags[i] && (i == 0 || !flags[i - 1]))
            ++runs;
    }
    return runs;
}

// Moves done with one signal each; more than this become one re-ordering of the layout.
constexpr int maxSingleMoves = 32;

} // namespace

EventListModel::EventListModel(QObject* parent) : QAbstractListModel(parent) {}

int EventListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_events.size());
}

QVariant EventListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const BridgeEvent& event = m_events.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return accessibleText(event);
    case StableIdRole:
        return event.stableId();
    case BadgeRole:
        return event.targetLabel();
    case IsWeComRole:
        return event.chatTarget == QLatin1String("wecom");
    case SessionRole:
        return sessionText(event);
    case SenderRole:
        return event.senderName.value_or(QString());
    case SentAtRole:
        return event.sentAt.value_or(QString());
    case MessageRole:
        return event.displayContent();
    case SuspiciousRole:
        return isSuspicious(event);
    default:
        return {};
    }
}

QHash<int, QByteArray> EventListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(StableIdRole, "stableId");
    names.insert(BadgeRole, "badge");
    names.insert(IsWeComRole, "isWeCom");
    names.insert(SessionRole, "session");
    names.insert(SenderRole, "sender");
    names.insert(SentAtRole, "sentAt");
    names.insert(MessageRole, "message");
    names.insert(SuspiciousRole, "suspicious");
    return names;
}

int EventListModel::rowOf(const QString& stableId) const
{
    for (qsizetype r = 0; r < m_events.size(); ++r) {
        if (m_events[r].stableId() == stableId)
            return int(r);
    }
    return -1;
}

QString EventListModel::sessionText(const BridgeEvent& event)
{
    return event.sessionName.value_or(QStringLiteral("未知会话"));
}

bool EventListModel::isSuspicious(const BridgeEvent& event)
{
    return event.sorting && event.sorting->suspicious;
}

QString EventListModel::suspiciousBadge()
{
    return QStringLiteral("疑似诈骗");
}

QString EventListModel::accessibleText(const BridgeEvent& event)
{
    QStringList parts{event.targetLabel()};
    if (isSuspicious(event))
        parts << suspiciousBadge();
    parts << sessionText(event);
    if (event.senderName && !event.senderName->isEmpty())
        parts << *event.senderName;
    if (event.sentAt && !event.sentAt->isEmpty())
        parts << *event.sentAt;
    parts << event.displayContent();
    return parts.join(QStringLiteral("，"));
}

EventListModel::ApplyStats EventListModel::setEvents(const QList<BridgeEvent>& next)
{
    ApplyStats stats;
    QHash<RowKey, int> nextPos;
    const QList<RowKey> nextKeys = keysOf(next, nextPos);

    // Where every current row goes (-1: removed), and which new rows already exist.
    QList<bool> removedRow(m_keys.size());
    QList<bool> isNewRow(next.size(), true);
    QList<int> keptTargets;
    keptTargets.reserve(m_keys.size());
    for (qsizetype r = 0; r < m_keys.size(); ++r) {
        const int target = nextPos.value(m_keys[r], -1);
        removedRow[r] = target < 0;
        if (target >= 0) {
            isNewRow[target] = false;
            keptTargets.append(target);
        }
    }
    const QList<bool> staying = longestIncreasing(keptTargets);
    const int moves = int(std::count(staying.begin(), staying.end(), false));
    const int steps = runsOf(removedRow) + std::min(moves, maxSingleMoves + 1) + runsOf(isNewRow);

    if (steps > maxStructuralSteps) {
        beginResetModel();
        m_events = next;
        m_keys = nextKeys;
        endResetModel();
        stats.reset = true;
        stats.removed = int(removedRow.count(true));
        stats.inserted = int(isNewRow.count(true));
        return stats;
    }

    // 1. Removals, bottom up, one signal per run.
    for (qsizetype end = m_keys.size() - 1; end >= 0; --end) {
        if (!removedRow[end])
            continue;
        qsizetype begin = end;
        while (begin > 0 && removedRow[begin - 1])
            --begin;
        beginRemoveRows(QModelIndex(), int(begin), int(end));
        m_events.remove(begin, end - begin + 1);
        m_keys.remove(begin, end - begin + 1);
        endRemoveRows();
        stats.removed += int(end - begin + 1);
        end = begin;
    }

    // 2. The rows that stay are brought into their new relative order.
    if (moves > maxSingleMoves)
        applyByReordering(keptTargets);
    else if (moves > 0)
        applyMoves(keptTargets, staying);
    stats.moved = moves;

    // 3. New rows, one signal per run; every kept row now sits at its final place.
    for (qsizetype i = 0; i < next.size(); ++i) {
        if (!isNewRow[i])
            continue;
        qsizetype end = i;
        while (end + 1 < next.size() && isNewRow[end + 1])
            ++end;
        const qsizetype count = end - i + 1;
        beginInsertRows(QModelIndex(), int(i), int(end));
        m_events.insert(i, count, BridgeEvent{});
        m_keys.insert(i, count, RowKey{});
        for (qsizetype k = i; k <= end; ++k) {
            m_events[k] = next[k];
            m_keys[k] = nextKeys[k];
        }
        endInsertRows();
        stats.inserted += int(count);
        i = end;
    }

    // 4. Rows whose message changed under the same identity are updated in place.
    QList<std::pair<int, int>> changedRuns;
    for (qsizetype i = 0; i < next.size(); ++i) {
        if (isNewRow[i] || m_events[i] == next[i])
            continue;
        ++stats.changed;
        if (!changedRuns.isEmpty() && changedRuns.last().second == i - 1)
            changedRuns.last().second = int(i);
        else
            changedRuns.append({int(i), int(i)});
    }
    m_events = next;
    m_keys = nextKeys;
    for (const auto& [first, last] : changedRuns)
        emit dataChanged(index(first), index(last));
    return stats;
}

void EventListModel::applyMoves(const QList<int>& targets, const QList<bool>& staying)
{
    // The rows outside the longest increasing run move, in the order of their targets, each
    // right behind the row that precedes it in the new order (which is already in place).
    QList<int> current = targets;
    QList<int> sortedTargets = targets;
    std::sort(sortedTargets.begin(), sortedTargets.end());
    QList<int> pending;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        if (!staying[i])
            pending.append(targets[i]);
    }
    std::sort(pending.begin(), pending.end());

    for (int target : pending) {
        const qsizetype from = current.indexOf(target);
        const auto rank =
            std::lower_bound(sortedTargets.begin(), sortedTargets.end(), target) - sortedTargets.begin();
        qsizetype to = 0;
        if (rank > 0) {
            const qsizetype predecessor = current.indexOf(sortedTargets[rank - 1]);
            to = from < predecessor ? predecessor : predecessor + 1;
        }
        if (to == from)
            continue;
        beginMoveRows(QModelIndex(), int(from), int(from), QModelIndex(), int(to > from ? to + 1 : to));
        m_events.move(from, to);
        m_keys.move(from, to);
        current.move(from, to);
        endMoveRows();
    }
}

void EventListModel::applyByReordering(const QList<int>& targets)
{
    // order[newRow] = current row
    QList<int> order(targets.size());
    for (qsizetype i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return targets[a] < targets[b]; });
    QList<int> newRowOf(targets.size());
    for (qsizetype i = 0; i < order.size(); ++i)
        newRowOf[order[i]] = int(i);

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<BridgeEvent> events;
    QList<RowKey> keys;
    events.reserve(order.size());
    keys.reserve(order.size());
    for (int row : order) {
        events.append(m_events[row]);
        keys.append(m_keys[row]);
    }
    m_events = std::move(events);
    m_keys = std::move(keys);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& idx : from)
        to.append(index(newRowOf[idx.row()], idx.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

#include "moc_EventListModel.cpp"
