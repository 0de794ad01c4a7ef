#include "ui/chat/ChatBubbleDelegate.h"

#include "ui/chat/ChatTranscriptModel.h"
#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QTextLayout>
#include <cmath>

namespace {

QFont labelFont()
{
    return AppTheme::font(AppTheme::TextStyle::Caption, QFont::DemiBold);
}

QFont textFont()
{
    return AppTheme::font(AppTheme::TextStyle::Callout);
}

QTextOption wrapOption()
{
    // Chinese wraps between characters; a long link without spaces still wraps.
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// Lays the text out in lines of at most maxWidth; returns the used size. A text that had
// to wrap uses the whole width, so that long bubbles line up.
QSizeF layoutText(QTextLayout& layout, qreal maxWidth)
{
    const QFontMetricsF fm(layout.font());
    qreal y = 0;
    qreal width = 0;
    int lines = 0;
    layout.setTextOption(wrapOption());
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(maxWidth);
        line.setPosition(QPointF(0, y));
        y += fm.lineSpacing();
        width = std::max(width, line.naturalTextWidth());
        ++lines;
    }
    layout.endLayout();
    if (lines > layout.text().count(QChar::LineSeparator) + 1)
        width = maxWidth;
    return QSizeF(std::ceil(width), std::ceil(std::max(y, fm.lineSpacing())));
}

QString shownText(const QString& text)
{
    QString shown = text;
    shown.replace(u'\n', QChar::LineSeparator); // QTextLayout breaks lines at U+2028
    return shown;
}

ChatBubble::Role roleOf(const QModelIndex& index)
{
    return static_cast<ChatBubble::Role>(index.data(ChatTranscriptModel::BubbleRoleRole).toInt());
}

} // namespace

ChatBubbleDelegate::ChatBubbleDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

ChatBubbleDelegate::Geometry ChatBubbleDelegate::geometry(const QRect& row, ChatBubble::Role role,
                                                          const QString& label, const QString& text)
{
    const qreal available = row.width() - 2.0 * kColumnPadding;
    const qreal maxBubble = std::max<qreal>(available - kFreeSpace, 2 * kPadding + 1);
    const qreal maxContent = maxBubble - 2 * kPadding;

    const QFontMetricsF labelMetrics(labelFont());
    const qreal labelWidth = std::min(std::ceil(labelMetrics.horizontalAdvance(label)), maxContent);
    QTextLayout layout(shownText(text), textFont());
    const QSizeF textSize = layoutText(layout, maxContent);

    const qreal contentWidth = std::min(std::max(labelWidth, textSize.width()), maxContent);
    const qreal width = contentWidth + 2 * kPadding;
    const qreal height = 2 * kPadding + std::ceil(labelMetrics.height()) + kLabelSpacing + textSize.height();
    const qreal left = role == ChatBubble::Role::User ? row.right() + 1 - kColumnPadding - width
                                                      : row.left() + kColumnPadding;

    Geometry g;
    g.bubble = QRectF(left, row.top() + kHalfGap, width, height);
    g.label =
        QRectF(left + kPadding, g.bubble.top() + kPadding, contentWidth, std::ceil(labelMetrics.height()));
    g.text = QRectF(left + kPadding, g.label.bottom() + kLabelSpacing, maxContent, textSize.height());
    return g;
}

QColor ChatBubbleDelegate::fill(ChatBubble::Role role)
{
    switch (role) {
    case ChatBubble::Role::User:
        return AppTheme::withOpacity(AppTheme::systemGreen(), 0.18);
    case ChatBubble::Role::Assistant:
        return AppTheme::withOpacity(AppTheme::systemBlue(), 0.1);
    case ChatBubble::Role::System:
        break;
    }
    // The regular translucent material, over the white card.
    return AppTheme::rgb(0.93, 0.94, 0.955, 0.75);
}

void ChatBubbleDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    const ChatBubble::Role role = roleOf(index);
    const QString label = index.data(ChatTranscriptModel::RoleLabelRole).toString();
    const QString text = index.data(Qt::DisplayRole).toString();
    const Geometry g = geometry(option.rect, role, label, text);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const bool selected = option.state & QStyle::State_Selected;
    painting::paintBubble(*painter, g.bubble, fill(role),
                          selected ? AppTheme::withOpacity(AppTheme::primaryAccent(), 0.45) : QColor());

    painter->setFont(labelFont());
    painter->setPen(AppTheme::secondaryText());
    painter->drawText(g.label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);

    QTextLayout layout(shownText(text), textFont());
    layoutText(layout, g.text.width());
    painter->setPen(AppTheme::ink());
    layout.draw(painter, g.text.topLeft());
    painter->restore();
}

QSize ChatBubbleDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int width = option.rect.width() > 0 ? option.rect.width() : 400;
    const QString id = index.data(ChatTranscriptModel::BubbleIdRole).toString();
    const auto cached = m_sizes.constFind(id);
    if (cached != m_sizes.constEnd() && cached->width == width)
        return cached->size;
    const Geometry g = geometry(QRect(0, 0, width, 0), roleOf(index),
                                index.data(ChatTranscriptModel::RoleLabelRole).toString(),
                                index.data(Qt::DisplayRole).toString());
    const QSize size(width, int(std::ceil(g.bubble.height())) + 2 * kHalfGap);
    m_sizes.insert(id, CachedSize{width, size});
    return size;
}

QWidget* ChatBubbleDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex&) const
{
    auto* editor = new QPlainTextEdit(parent);
    editor->setObjectName(QStringLiteral("chatBubbleText"));
    editor->setAccessibleName(QStringLiteral("气泡文字"));
    editor->setReadOnly(true);
    editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    editor->setFrameShape(QFrame::NoFrame);
    editor->setFont(textFont());
    editor->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->document()->setDocumentMargin(0);
    QPalette palette = editor->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, AppTheme::ink());
    editor->setPalette(palette);
    editor->viewport()->setAutoFillBackground(false);
    return editor;
}

void ChatBubbleDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* text = static_cast<QPlainTextEdit*>(editor);
    text->setPlainText(index.data(Qt::DisplayRole).toString());
    text->selectAll();
}

void ChatBubbleDelegate::setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const
{
    // Read-only: the conversation is never edited.
}

void ChatBubbleDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex& index) const
{
    const Geometry g =
        geometry(option.rect, roleOf(index), index.data(ChatTranscriptModel::RoleLabelRole).toString(),
                 index.data(Qt::DisplayRole).toString());
    // The text column of the bubble, a little taller so that a last line never hides.
    editor->setGeometry(g.text.adjusted(0, 0, 2, 2).toAlignedRect());
}
