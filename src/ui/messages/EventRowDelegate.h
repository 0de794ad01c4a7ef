#pragma once

#include <QAbstractItemDelegate>
#include <QFont>
#include <QHash>
#include <QRectF>
#include <QString>

class QColor;
class QPainter;
class QTextLayout;

// Paints one timeline row (EventRow) straight from the model's roles: the client badge, the red
// "疑似诈骗" badge of a message the core sorts as a scam, the session / sender / time line and up
// to three lines of message text, on a rounded tile. Search matches are highlighted. No widget
// per row; text heights are cached per width.
class EventRowDelegate : public QAbstractItemDelegate
{
    Q_OBJECT

public:
    static constexpr int rowPadding = 14;   // inside the tile
    static constexpr int rowSpacing = 8;    // between tiles
    static constexpr qreal rowRadius = 18;  // tile corners
    static constexpr int badgeSpacing = 12; // badge to text column
    static constexpr int columnSpacing = 6; // title line to message text
    static constexpr int titleSpacing = 8;  // between session, sender and time
    static constexpr int badgePaddingH = 8;
    static constexpr int badgePaddingV = 5;
    static constexpr int maxMessageLines = 3;

    explicit EventRowDelegate(QObject* parent = nullptr);

    // Text whose matches are highlighted (compared like the search: ignoring case and width).
    void setSearchQuery(const QString& query);
    QString searchQuery() const { return m_query; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Height of a row of this width showing `message`.
    int rowHeight(int width, const QString& message) const;
    // Width of the text column in a row of `rowWidth`.
    int textColumnWidth(int rowWidth) const;
    void clearCache() const;

private:
    struct Fonts
    {
        QFont badge, session, sender, time, message;
    };
    void paintBadge(QPainter& p, const QRectF& rect, const QString& label, bool wecom) const;
    // A caption-bold label in `tint` on a capsule of the same tint at 0.12.
    void paintCapsuleLabel(QPainter& p, const QRectF& rect, const QString& label, const QColor& tint) const;
    void paintTitleLine(QPainter& p, const QRectF& rect, const QModelIndex& index) const;
    void paintMessage(QPainter& p, const QRectF& rect, const QString& message) const;

    Fonts m_fonts;
    int m_badgeColumn = 0; // width of the widest badge: the text columns line up
    int m_badgeHeight = 0;
    int m_titleHeight = 0;
    int m_messageLineHeight = 0;
    QString m_query;
    mutable int m_cacheWidth = -1;
    mutable QHash<QString, int> m_lineCache; // message -> text height at m_cacheWidth
    mutable int m_previousWidth = -1;
    mutable QHash<QString, int> m_previousCache;
};
