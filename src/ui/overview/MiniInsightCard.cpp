#include "ui/overview/MiniInsightCard.h"

#include "ui/common/AppTheme.h"
#include "ui/overview/CardTitleRow.h"
#include "ui/overview/DashboardRowButton.h"
#include "ui/overview/MoreRowsButton.h"

#include <QVBoxLayout>

MiniInsightCard::MiniInsightCard(const QString& name, const QString& title, const QColor& tint,
                                 QWidget* parent)
    : SoftCard(AppTheme::Radius::card, 18, parent), m_title(new CardTitleRow(title, tint, true, this)),
      m_more(new MoreRowsButton(this))
{
    setObjectName(name + QStringLiteral("Card"));
    m_title->setObjectName(name + QStringLiteral("TitleRow"));
    m_more->setObjectName(name + QStringLiteral("MoreButton"));
    setMinimumHeight(kMinimumHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    contentLayout()->setSpacing(12);
    connect(m_title, &QAbstractButton::clicked, this, &MiniInsightCard::openDetails);
    addWidget(m_title);
    for (int i = 0; i < kVisibleRows; ++i) {
        auto* row = new DashboardRowButton(this);
        row->setObjectName(name + QStringLiteral("Row%1").arg(i));
        connect(row, &QAbstractButton::clicked, this, &MiniInsightCard::openDetails);
        row->hide();
        addWidget(row);
        m_rows.append(row);
    }
    connect(m_more, &QAbstractButton::clicked, this, &MiniInsightCard::openDetails);
    contentLayout()->addWidget(m_more, 0, Qt::AlignLeft);
    contentLayout()->addStretch(1); // content sits at the top of the card
    setRows({}, 0);
}

void MiniInsightCard::setRows(const QStringList& rows, int count)
{
    m_title->setCount(count);
    const QFont font = AppTheme::font(AppTheme::TextStyle::Callout, QFont::Medium);
    for (int i = 0; i < kVisibleRows; ++i) {
        DashboardRowButton* row = m_rows.at(i);
        row->setVisible(i < rows.size());
        if (i < rows.size())
            row->setContent({}, 0, {rows.at(i), font, AppTheme::ink()}, {});
    }
    const int hidden = count - std::min(int(rows.size()), kVisibleRows);
    m_more->setCount(std::max(0, hidden));
    m_more->setVisible(hidden > 0);
    updateGeometry(); // cached size hints of the enclosing layouts are stale now
}
