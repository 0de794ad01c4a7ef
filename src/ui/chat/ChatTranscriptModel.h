#pragma once

#include "store/ChatBubble.h"

#include <QAbstractListModel>
#include <QPointer>

class BridgeStore;

// The store's conversation as a list model, one row per bubble, oldest first. Rows are
// only ever appended (the store never removes a bubble); a list that changes otherwise
// resets the model.
class ChatTranscriptModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        BubbleRoleRole = Qt::UserRole + 1, // int(ChatBubble::Role)
        RoleLabelRole,                     // "你", "razo" or "提示"
        BubbleIdRole,                      // the bubble's UUID as text
    };

    explicit ChatTranscriptModel(BridgeStore* store, QObject* parent = nullptr);

    // The label shown above a bubble of this role.
    static QString roleLabel(ChatBubble::Role role);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // DisplayRole: the text; AccessibleTextRole: label + "：" + text; plus the roles above.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    void onAppended(int index);
    void sync();

    QPointer<BridgeStore> m_store;
    int m_count = 0;
};
