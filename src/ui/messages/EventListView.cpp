#include "ui/messages/EventListView.h"

#include "ui/messages/EventRowDelegate.h"
#include "ui/messages/logic/EventListModel.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>

EventListView::EventListView(QWidget* parent) : QListView(parent), m_delegate(new EventRowDelegate(this))
{
    setObjectName(QStringLiteral("messagesList"));
    setAccessibleName(QStringLiteral("消息列表"));
    setItemDelegate(m_delegate);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(false);
    setMouseTracking(true);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    verticalScrollBar()->setSingleStep(24);
    // A slim rounded thumb without arrows, visible whenever the list scrolls.
    verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 10px; margin: 2px 0 2px 2px; }"
        "QScrollBar::handle:vertical { background: rgba(20, 27, 38, 0.22); border-radius: 4px; min-height: "
        "36px;"
        " margin: 0 1px; }"
        "QScrollBar::handle:vertical:hover { background: rgba(20, 27, 38, 0.36); }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
}

void EventListView::setEventModel(EventListModel* model)
{
    m_model = model;
    setModel(model);
    // A refresh too scattered to apply row by row resets the model: keep what was in view.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { m_resetAnchor = captureAnchor(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { restoreAnchor(m_resetAnchor); });
}

void EventListView::initViewItemOption(QStyleOptionViewItem* option) const
{
    QListView::initViewItemOption(option);
    // Rows span the viewport; the delegate sizes them from this width.
    option->rect = QRect(0, 0, viewport()->width(), 0);
}

void EventListView::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    if (viewport()->width() != m_layoutWidth) {
        m_layoutWidth = viewport()->width();
        const Anchor anchor = captureAnchor();
        doItemsLayout();
        restoreAnchor(anchor);
    }
}

QString EventListView::selectedStableId() const
{
    const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? QString() : rows.first().data(EventListModel::StableIdRole).toString();
}

void EventListView::selectStableId(const QString& stableId)
{
    if (!m_model || stableId.isEmpty())
        return;
    const int row = m_model->rowOf(stableId);
    if (row >= 0)
        selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::ClearAndSelect);
}

void EventListView::revealStableId(const QString& stableId)
{
    selectStableId(stableId);
    const auto scroll = [this, stableId] {
        const int row = m_model ? m_model->rowOf(stableId) : -1;
        if (row >= 0)
            scrollTo(m_model->index(row), QAbstractItemView::PositionAtCenter);
    };
    scroll();
    QTimer::singleShot(0, this, scroll); // a list just created has no height yet
}

EventListView::Anchor EventListView::captureAnchor() const
{
    Anchor anchor;
    anchor.selectedId = selectedStableId();
    if (verticalScrollBar()->value() <= 0)
        return anchor;
    const QModelIndex top = indexAt(QPoint(viewport()->width() / 2, 1));
    if (top.isValid()) {
        anchor.stableId = top.data(EventListModel::StableIdRole).toString();
        anchor.offset = visualRect(top).top();
    }
    return anchor;
}

void EventListView::restoreAnchor(const Anchor& anchor)
{
    if (!anchor.selectedId.isEmpty() && selectedStableId() != anchor.selectedId)
        selectStableId(anchor.selectedId);
    if (anchor.stableId.isEmpty() || !m_model)
        return;
    const int row = m_model->rowOf(anchor.stableId);
    if (row < 0)
        return;
    doItemsLayout(); // positions must be current before they are read
    const int delta = visualRect(m_model->index(row)).top() - anchor.offset;
    if (delta != 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + delta);
}
