#include "ui/chat/ChatTranscriptModel.h"

#include "store/BridgeStore.h"

ChatTranscriptModel::ChatTranscriptModel(BridgeStore* store, QObject* parent)
    : QAbstractListModel(parent), m_store(store), m_count(int(store->chatMessages().size()))
{
    connect(store, &BridgeStore::chatBubbleAppended, this, &ChatTranscriptModel::onAppended);
    connect(store, &BridgeStore::chatMessagesChanged, this, &ChatTranscriptModel::sync);
}

QString ChatTranscriptModel::roleLabel(ChatBubble::Role role)
{
    switch (role) {
    case ChatBubble::Role::User:
        return QStringLiteral("你");
    case ChatBubble::Role::Assistant:
        return QStringLiteral("razo");
    case ChatBubble::Role::System:
        break;
    }
    return QStringLiteral("提示");
}

int ChatTranscriptModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

QVariant ChatTranscriptModel::data(const QModelIndex& index, int role) const
{
    if (!m_store || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QList<ChatBubble>& bubbles = m_store->chatMessages();
    if (index.row() >= bubbles.size())
        return {};
    const ChatBubble& bubble = bubbles.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return bubble.text;
    case Qt::AccessibleTextRole:
        return QString(roleLabel(bubble.role) + u'：' + bubble.text);
    case BubbleRoleRole:
        return int(bubble.role);
    case RoleLabelRole:
        return roleLabel(bubble.role);
    case BubbleIdRole:
        return bubble.id.toString(QUuid::WithoutBraces);
    default:
        return {};
    }
}

Qt::ItemFlags ChatTranscriptModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Editable only so that a double click can open the read-only text selector.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

QHash<int, QByteArray> ChatTranscriptModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(BubbleRoleRole, "bubbleRole");
    names.insert(RoleLabelRole, "roleLabel");
    names.insert(BubbleIdRole, "bubbleId");
    return names;
}

void ChatTranscriptModel::onAppended(int index)
{
    if (!m_store || index != m_count || index >= m_store->chatMessages().size()) {
        sync();
        return;
    }
    beginInsertRows(QModelIndex(), index, index);
    m_count = index + 1;
    endInsertRows();
}

void ChatTranscriptModel::sync()
{
    const int size = m_store ? int(m_store->chatMessages().size()) : 0;
    if (size == m_count)
        return;
    if (size > m_count) {
        beginInsertRows(QModelIndex(), m_count, size - 1);
        m_count = size;
        endInsertRows();
        return;
    }
    beginResetModel();
    m_count = size;
    endResetModel();
}
