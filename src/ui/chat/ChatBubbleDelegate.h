#pragma once

#include "store/ChatBubble.h"

#include <QHash>
#include <QRectF>
#include <QStyledItemDelegate>

// Paints one chat bubble per row: the role label (caption semibold, secondary colour)
// above the text (callout), 14 of padding, in a rounded rectangle of radius 20. The
// user's bubbles sit on the right, the others on the left; the other side always keeps
// at least 80 of free space. A double click opens a read-only copy of the text in which
// any part can be selected and copied.
class ChatBubbleDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kColumnPadding = 6; // around the column of bubbles
    static constexpr int kHalfGap = 4;       // above and below each bubble (8 between two)
    static constexpr int kFreeSpace = 80;    // kept free beside each bubble
    static constexpr int kPadding = 14;      // inside a bubble
    static constexpr int kLabelSpacing = 6;  // between the label and the text

    struct Geometry
    {
        QRectF bubble;
        QRectF label;
        QRectF text;
    };

    explicit ChatBubbleDelegate(QObject* parent = nullptr);

    // Where the parts of a bubble go in a row of the given rectangle.
    static Geometry geometry(const QRect& row, ChatBubble::Role role, const QString& label,
                             const QString& text);
    static QColor fill(ChatBubble::Role role);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    struct CachedSize
    {
        int width = -1;
        QSize size;
    };
    mutable QHash<QString, CachedSize> m_sizes; // by bubble id: texts never change
};
