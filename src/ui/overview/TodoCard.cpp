#include "ui/overview/TodoCard.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/SymbolIcons.h"
#include "ui/overview/CardTitleRow.h"
#include "ui/overview/DashboardRowButton.h"
#include "ui/overview/MoreRowsButton.h"
#include "ui/overview/TaskCompleteButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QWidget* makeEmptyLine(QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setObjectName(QStringLiteral("todoEmptyLine"));
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(6, 8, 6, 8);
    layout->setSpacing(8);
    auto* icon = new QLabel(line);
    icon->setPixmap(SymbolIcons::pixmap(QStringLiteral("checkmark.circle.fill"), 15, AppTheme::systemGreen(),
                                        line->devicePixelRatioF()));
    auto* text = labels::make(QStringLiteral("当前没有待处理事项"), AppTheme::TextStyle::Callout,
                              QFont::Medium, AppTheme::secondaryText(), line);
    text->setObjectName(QStringLiteral("todoEmptyText"));
    layout->addWidget(icon);
    layout->addWidget(text);
    layout->addStretch(1);
    return line;
}

} // namespace

TodoCard::TodoCard(QWidget* parent)
    : SoftCard(AppTheme::Radius::card, 20, parent),
      m_title(new CardTitleRow(QStringLiteral("待处理"), AppTheme::primaryAccent(), true, this)),
      m_empty(makeEmptyLine(this)), m_more(new MoreRowsButton(this))
{
    setObjectName(QStringLiteral("todoCard"));
    contentLayout()->setSpacing(14);
    m_title->setObjectName(QStringLiteral("todoTitleRow"));
    connect(m_title, &QAbstractButton::clicked, this, &TodoCard::openDetails);
    addWidget(m_title);
    addWidget(m_empty);

    for (int i = 0; i < kVisibleRows; ++i) {
        Row row;
        row.container = new QWidget(this);
        auto* layout = new QHBoxLayout(row.container);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(10);
        row.complete = new TaskCompleteButton(row.container);
        row.complete->setObjectName(QStringLiteral("todoCompleteButton%1").arg(i));
        row.button = new DashboardRowButton(row.container);
        row.button->setObjectName(QStringLiteral("todoRow%1").arg(i));
        layout->addWidget(row.complete);
        layout->addWidget(row.button, 1);
        connect(row.complete, &QAbstractButton::clicked, this, [this, i] {
            if (i < m_items.size())
                emit completeTask(m_items.at(i));
        });
        connect(row.button, &QAbstractButton::clicked, this, &TodoCard::openDetails);
        row.container->hide();
        addWidget(row.container);
        m_rows.append(row);
    }

    m_more->setObjectName(QStringLiteral("todoMoreButton"));
    connect(m_more, &QAbstractButton::clicked, this, &TodoCard::openDetails);
    contentLayout()->addWidget(m_more, 0, Qt::AlignLeft);
    setItems({}, {}, 0);
}

void TodoCard::setItems(const QList<DashboardTask>& items, const QSet<QString>& completingTaskIds, int count)
{
    m_items = items;
    m_title->setCount(count);
    m_empty->setVisible(items.isEmpty());

    const QFont textFont = AppTheme::font(AppTheme::TextStyle::Callout, QFont::Medium);
    const QFont dueFont = AppTheme::font(AppTheme::TextStyle::Caption);
    for (int i = 0; i < kVisibleRows; ++i) {
        const Row& row = m_rows.at(i);
        const bool shown = i < items.size();
        row.container->setVisible(shown);
        if (!shown) {
            row.complete->setCompleting(false);
            continue;
        }
        const DashboardTask& task = items.at(i);
        row.complete->setCompleting(completingTaskIds.contains(task.rawText));
        row.complete->setAccessibleName(QStringLiteral("标记完成：") + task.text);
        row.button->setContent({}, 0, {task.text, textFont, AppTheme::ink()},
                               {task.due, dueFont, AppTheme::secondaryText()});
    }

    const int hidden = count - std::min(int(items.size()), kVisibleRows);
    m_more->setCount(std::max(0, hidden));
    m_more->setVisible(hidden > 0);
    updateGeometry(); // cached size hints of the enclosing layouts are stale now
}
