#include "ui/chat/ChatTranscriptView.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>

namespace {
constexpr int kScrollAnimationMs = 280;
}

ChatTranscriptView::ChatTranscriptView(QWidget* parent)
    : QListView(parent), m_scroll(new QPropertyAnimation(verticalScrollBar(), "value", this))
{
    setObjectName(QStringLiteral("chatTranscript"));
    setAccessibleName(QStringLiteral("对话记录"));
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(false);
    setMouseTracking(false);
    // Two more points above the first and below the last bubble (each row keeps 4).
    setViewportMargins(0, 2, 0, 2);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    setPalette(palette);
    m_scroll->setDuration(kScrollAnimationMs);
    m_scroll->setEasingCurve(QEasingCurve::OutCubic);
}

void ChatTranscriptView::setModel(QAbstractItemModel* model)
{
    if (this->model())
        disconnect(this->model(), nullptr, this, nullptr);
    QListView::setModel(model);
    if (model) {
        connect(model, &QAbstractItemModel::rowsInserted, this, [this] {
            // The new row is laid out on the next pass of the event loop.
            QTimer::singleShot(0, this, &ChatTranscriptView::scrollToNewest);
        });
    }
}

bool ChatTranscriptView::isScrollAnimating() const
{
    return m_scroll->state() == QAbstractAnimation::Running;
}

void ChatTranscriptView::scrollToNewest()
{
    if (!model() || model()->rowCount() == 0)
        return;
    executeDelayedItemsLayout();
    QScrollBar* bar = verticalScrollBar();
    // The last bubble's bottom edge is the end of the content.
    m_scroll->stop();
    if (bar->value() == bar->maximum())
        return;
    m_scroll->setStartValue(bar->value());
    m_scroll->setEndValue(bar->maximum());
    m_scroll->start();
}

void ChatTranscriptView::showEvent(QShowEvent* event)
{
    QListView::showEvent(event);
    // Coming into view (not a window being restored), the conversation opens on its latest
    // bubble, without an animation.
    if (!event->spontaneous())
        QTimer::singleShot(0, this, &ChatTranscriptView::jumpToNewest);
}

void ChatTranscriptView::jumpToNewest()
{
    m_scroll->stop();
    executeDelayedItemsLayout();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void ChatTranscriptView::resizeEvent(QResizeEvent* event)
{
    // A view that shows (or is moving to) the newest bubble keeps it in view when it gets
    // shorter, for example when the progress line appears under it or while the page is
    // first laid out.
    const QScrollBar* bar = verticalScrollBar();
    const bool animating = isScrollAnimating();
    const bool atBottom = bar->value() == bar->maximum();
    QListView::resizeEvent(event);
    if (!animating && !atBottom)
        return;
    QTimer::singleShot(0, this, [this, animating] {
        executeDelayedItemsLayout();
        if (animating)
            scrollToNewest();
        else
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    });
}

void ChatTranscriptView::copyBubble(const QModelIndex& index) const
{
    if (!index.isValid())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(index.data(Qt::DisplayRole).toString());
}

void ChatTranscriptView::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        copyBubble(currentIndex());
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void ChatTranscriptView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    setCurrentIndex(index);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("chatBubbleMenu"));
    const QPersistentModelIndex bubble(index);
    menu.addAction(QStringLiteral("复制"), this, [this, bubble] { copyBubble(bubble); });
    menu.exec(event->globalPos());
}
