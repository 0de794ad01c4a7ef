#pragma once

#include "ui/common/SoftCard.h"

#include <QColor>
#include <QStringList>

class CardTitleRow;
class DashboardRowButton;
class MoreRowsButton;

// A small card of the dashboard ("会议记录", "稍后处理"): a title row with a count, the
// first two rows and "更多 N 条" for the rest; everything opens the matching timeline.
class MiniInsightCard : public SoftCard
{
    Q_OBJECT

public:
    static constexpr int kVisibleRows = 2;
    static constexpr int kMinimumHeight = 104;

    // `name` prefixes the object names of the card and its parts ("meeting" -> "meetingCard").
    MiniInsightCard(const QString& name, const QString& title, const QColor& tint, QWidget* parent = nullptr);

    // `count` is shown in the title row, and "更多 N 条" says how many of them the rows shown
    // leave out; rows are identified by position (equal texts allowed).
    void setRows(const QStringList& rows, int count);

    CardTitleRow* titleRow() const { return m_title; }
    DashboardRowButton* rowButton(int row) const { return m_rows.at(row); }
    MoreRowsButton* moreButton() const { return m_more; }

signals:
    void openDetails();

private:
    CardTitleRow* m_title;
    QList<DashboardRowButton*> m_rows;
    MoreRowsButton* m_more;
};
