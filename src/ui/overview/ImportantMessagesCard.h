#pragma once

#include "model/BridgeEvent.h"
#include "ui/common/SoftCard.h"

#include <QList>

class CardTitleRow;
class DashboardRowButton;
class MoreRowsButton;

// "重要消息": the first four important messages as one-line rows (sender, text, time), each
// opening the important-messages timeline; "更多 N 条" for the rest.
class ImportantMessagesCard : public SoftCard
{
    Q_OBJECT

public:
    static constexpr int kVisibleRows = 4;
    static constexpr int kSenderWidth = 76;

    explicit ImportantMessagesCard(QWidget* parent = nullptr);

    // `count`: how many important messages there are in all (the title's count); "更多 N 条"
    // says how many of them the rows leave out.
    void setEvents(const QList<BridgeEvent>& events, int count);

    CardTitleRow* titleRow() const { return m_title; }
    DashboardRowButton* rowButton(int row) const { return m_rows.at(row); }
    MoreRowsButton* moreButton() const { return m_more; }

    // The sender column: the sender's name when it has one, else the client label.
    static QString senderText(const BridgeEvent& event);

signals:
    void openDetails();

private:
    CardTitleRow* m_title;
    QList<DashboardRowButton*> m_rows;
    MoreRowsButton* m_more;
};
