#include "ui/common/MetricCard.h"

#include "ui/common/AccessibleText.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/Painting.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

MetricCard::MetricCard(const QString& title, const QString& value, const QString& subtitle, QWidget* parent)
    : QWidget(parent)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("metricCard"));
    accessibility::installFactory();
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(Metrics::metricPadding, Metrics::metricPadding, Metrics::metricPadding,
                            Metrics::metricPadding);
    col->setSpacing(Metrics::metricSpacing);
    m_title = labels::make(QString(), TextStyle::Caption, QFont::DemiBold, secondaryText(), this);
    m_value = labels::make(QString(), TextStyle::Title3, QFont::Bold, ink(), this);
    m_subtitle = labels::make(QString(), TextStyle::Caption, -1, secondaryText(), this);
    m_title->setObjectName(QStringLiteral("metricTitle"));
    m_value->setObjectName(QStringLiteral("metricValue"));
    m_subtitle->setObjectName(QStringLiteral("metricSubtitle"));
    m_subtitle->setWordWrap(true);
    col->addWidget(m_title);
    col->addWidget(m_value);
    col->addWidget(m_subtitle);
    col->addStretch(1);
    set(title, value, subtitle);
}

void MetricCard::set(const QString& title, const QString& value, const QString& subtitle)
{
    m_title->setText(title);
    m_value->setText(value);
    m_subtitle->setText(subtitle);
    setAccessibleName(title);
    setAccessibleDescription(value + QLatin1Char(' ') + subtitle);
}

QString MetricCard::title() const
{
    return m_title->text();
}
QString MetricCard::value() const
{
    return m_value->text();
}
QString MetricCard::subtitle() const
{
    return m_subtitle->text();
}

void MetricCard::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    painting::CardStyle s;
    s.rect = QRectF(rect());
    s.cornerRadius = AppTheme::Radius::metricTile;
    s.fill = AppTheme::subtleBackground();
    s.border = AppTheme::softBorder();
    painting::paintCard(p, s);
}
