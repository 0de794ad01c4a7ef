#include "ui/common/SidebarFooterView.h"

#include "ui/common/AccessibleText.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/IconLabel.h"
#include "ui/common/Labels.h"
#include "ui/common/Painting.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

SidebarFooterView::SidebarFooterView(BridgeStore& store, QWidget* parent) : QWidget(parent), m_store(store)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("sidebarFooter"));
    accessibility::installFactory();
    setAccessibleName(QStringLiteral("本地优先"));
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(Metrics::footerPadding, Metrics::footerPadding, Metrics::footerPadding,
                            Metrics::footerPadding);
    col->setSpacing(Metrics::footerSpacing);
    auto* title =
        labels::make(QStringLiteral("本地优先"), TextStyle::Caption, QFont::DemiBold, secondaryText(), this);
    title->setObjectName(QStringLiteral("footerTitle"));
    m_status = new IconLabel(QString(), QString(), systemGreen(),
                             AppTheme::font(TextStyle::Caption, QFont::DemiBold), this);
    m_status->setObjectName(QStringLiteral("serviceStatus"));
    m_error = new ElidedLabel(QString(), 3, this);
    m_error->setObjectName(QStringLiteral("lastError"));
    m_error->setFont(AppTheme::font(TextStyle::Caption2));
    m_error->setTextColor(secondaryText());
    col->addWidget(title);
    col->addWidget(m_status);
    col->addWidget(m_error);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);

    connect(&store, &BridgeStore::serviceStatusChanged, this, &SidebarFooterView::refresh);
    connect(&store, &BridgeStore::lastErrorChanged, this, &SidebarFooterView::refresh);
    refresh();
}

void SidebarFooterView::refresh()
{
    using namespace AppTheme;
    const bool failed = !m_store.lastError().isEmpty();
    m_status->set(failed ? QStringLiteral("exclamationmark.triangle.fill")
                         : QStringLiteral("checkmark.circle.fill"),
                  m_store.serviceStatus(), failed ? systemOrange() : systemGreen());
    m_error->setText(m_store.lastError());
    m_error->setVisible(failed);
    setAccessibleDescription(failed ? m_store.serviceStatus() + QLatin1Char(' ') + m_store.lastError()
                                    : m_store.serviceStatus());
}

void SidebarFooterView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    painting::CardStyle s;
    s.rect = QRectF(rect());
    s.cornerRadius = AppTheme::Radius::footer;
    s.fill = AppTheme::cardBackground();
    s.border = AppTheme::softBorder();
    painting::paintCard(p, s);
}
