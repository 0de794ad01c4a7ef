#include "ui/chat/ChatInputField.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

ChatInputField::ChatInputField(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("chatInput"));
    setAccessibleName(QStringLiteral("提问"));
    setPlaceholderText(QStringLiteral("比如：最近企业微信有什么消息？"));
    setFont(AppTheme::font(AppTheme::TextStyle::Callout));
    setFrameShape(QFrame::NoFrame);
    setTabChangesFocus(true);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setViewportMargins(kPaddingH, kPaddingV, kPaddingH, kPaddingV);
    document()->setDocumentMargin(0);
    viewport()->setAutoFillBackground(false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, AppTheme::ink());
    palette.setColor(QPalette::PlaceholderText, AppTheme::tertiaryText());
    setPalette(palette);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &ChatInputField::updateHeight);
    updateHeight();
}

int ChatInputField::visibleLines() const
{
    return std::clamp(totalLines(), kMinLines, kMaxLines);
}

int ChatInputField::totalLines() const
{
    // The plain-text layout's height is its number of lines, wrapped lines included.
    return int(document()->documentLayout()->documentSize().height());
}

int ChatInputField::heightForLines(int lines) const
{
    return lines * fontMetrics().lineSpacing() + 2 * kPaddingV;
}

QSize ChatInputField::sizeHint() const
{
    return QSize(320, heightForLines(visibleLines()));
}

QSize ChatInputField::minimumSizeHint() const
{
    return QSize(120, heightForLines(kMinLines));
}

void ChatInputField::updateHeight()
{
    const int lines = visibleLines();
    setFixedHeight(heightForLines(lines));
    // Beyond four lines the text scrolls inside the field.
    const int total = totalLines();
    setVerticalScrollBarPolicy(total > kMaxLines ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (total > kMaxLines)
        ensureCursorVisible();
}

bool ChatInputField::event(QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        update(); // the focus ring
    if (event->type() == QEvent::Paint) {
        // The field's own rectangle (the viewport inside it is transparent).
        QPainter p(this);
        painting::CardStyle style;
        style.rect = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        style.cornerRadius = AppTheme::Radius::input;
        style.fill = AppTheme::cardBackground();
        style.border = AppTheme::border();
        painting::paintCard(p, style);
        if (hasFocus())
            painting::paintFocusRing(p, style.rect, style.cornerRadius);
        return true;
    }
    return QPlainTextEdit::event(event);
}

void ChatInputField::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ShiftModifier)) {
        insertPlainText(QStringLiteral("\n"));
        event->accept();
        return;
    }
    if (enter && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        event->accept();
        emit submitRequested();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ChatInputField::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    updateHeight();
}
