#pragma once

#include "ui/common/SoftCard.h"
#include "ui/overview/logic/DashboardTask.h"

#include <QList>
#include <QSet>

class CardTitleRow;
class DashboardRowButton;
class MoreRowsButton;
class QLabel;
class TaskCompleteButton;

// "待处理": the first four to-dos, each with a done button (a spinner while the core
// completes it) and a row that opens the to-do timeline; "更多 N 条" for the rest.
class TodoCard : public SoftCard
{
    Q_OBJECT

public:
    static constexpr int kVisibleRows = 4;

    explicit TodoCard(QWidget* parent = nullptr);

    // `count`: how many to-dos there are in all (the title's count); "更多 N 条" says how many of
    // them the rows leave out. Never fewer than the items.
    void setItems(const QList<DashboardTask>& items, const QSet<QString>& completingTaskIds, int count);
    const QList<DashboardTask>& items() const { return m_items; }

    CardTitleRow* titleRow() const { return m_title; }
    QWidget* emptyLine() const { return m_empty; }
    TaskCompleteButton* completeButton(int row) const { return m_rows.at(row).complete; }
    DashboardRowButton* rowButton(int row) const { return m_rows.at(row).button; }
    MoreRowsButton* moreButton() const { return m_more; }

signals:
    void completeTask(const DashboardTask& task);
    void openDetails();

private:
    struct Row
    {
        QWidget* container = nullptr;
        TaskCompleteButton* complete = nullptr;
        DashboardRowButton* button = nullptr;
    };

    QList<DashboardTask> m_items;
    CardTitleRow* m_title;
    QWidget* m_empty;
    QList<Row> m_rows;
    MoreRowsButton* m_more;
};
