#include "ui/overview/ImportantMessagesCard.h"

#include "ui/common/AppTheme.h"
#include "ui/overview/CardTitleRow.h"
#include "ui/overview/DashboardRowButton.h"
#include "ui/overview/MoreRowsButton.h"
#include "ui/overview/logic/OverviewTexts.h"

#include <QVBoxLayout>

ImportantMessagesCard::ImportantMessagesCard(QWidget* parent)
    : SoftCard(AppTheme::Radius::card, 20, parent),
      m_title(new CardTitleRow(QStringLiteral("重要消息"), AppTheme::systemRed(), true, this)),
      m_more(new MoreRowsButton(this))
{
    setObjectName(QStringLiteral("importantCard"));
    contentLayout()->setSpacing(14);
    m_title->setObjectName(QStringLiteral("importantTitleRow"));
    connect(m_title, &QAbstractButton::clicked, this, &ImportantMessagesCard::openDetails);
    addWidget(m_title);
    for (int i = 0; i < kVisibleRows; ++i) {
        auto* row = new DashboardRowButton(this);
        row->setObjectName(QStringLiteral("importantRow%1").arg(i));
        connect(row, &QAbstractButton::clicked, this, &ImportantMessagesCard::openDetails);
        row->hide();
        addWidget(row);
        m_rows.append(row);
    }
    m_more->setObjectName(QStringLiteral("importantMoreButton"));
    connect(m_more, &QAbstractButton::clicked, this, &ImportantMessagesCard::openDetails);
    contentLayout()->addWidget(m_more, 0, Qt::AlignLeft);
    setEvents({}, 0);
}

QString ImportantMessagesCard::senderText(const BridgeEvent& event)
{
    if (event.senderName && !event.senderName->isEmpty())
        return *event.senderName;
    return event.targetLabel();
}

void ImportantMessagesCard::setEvents(const QList<BridgeEvent>& events, int count)
{
    using AppTheme::TextStyle;
    m_title->setCount(count);
    const QFont senderFont = AppTheme::font(TextStyle::Callout, QFont::DemiBold);
    const QFont textFont = AppTheme::font(TextStyle::Callout);
    const QFont timeFont = AppTheme::font(TextStyle::Caption);
    for (int i = 0; i < kVisibleRows; ++i) {
        DashboardRowButton* row = m_rows.at(i);
        row->setVisible(i < events.size());
        if (i >= events.size())
            continue;
        const BridgeEvent& e = events.at(i);
        row->setContent({senderText(e), senderFont, AppTheme::ink()}, kSenderWidth,
                        {overviewtext::singleLine(e.displayContent()), textFont, AppTheme::secondaryText()},
                        {e.sentAt.value_or(QString()), timeFont, AppTheme::secondaryText()});
    }
    const int hidden = count - std::min(int(events.size()), kVisibleRows);
    m_more->setCount(std::max(0, hidden));
    m_more->setVisible(hidden > 0);
    updateGeometry(); // cached size hints of the enclosing layouts are stale now
}
