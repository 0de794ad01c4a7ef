#include "ui/settings/SettingsCard.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int kDot = 9;
constexpr int kHeaderSpacing = 9;

QPixmap gradientDot(qreal dpr)
{
    QPixmap pm(QSize(kDot, kDot) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, kDot, kDot);
    p.setPen(Qt::NoPen);
    p.setBrush(AppTheme::brandGradient(r));
    p.drawEllipse(r);
    return pm;
}

} // namespace

SettingsCard::SettingsCard(const QString& title, QWidget* parent)
    : SoftCard(AppTheme::Radius::card, AppTheme::Metrics::cardPadding, parent)
{
    setObjectName(QStringLiteral("settingsCard"));
    setAccessibleName(title);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    contentLayout()->setSpacing(AppTheme::Metrics::cardSpacing);
    contentLayout()->setAlignment(Qt::AlignTop);

    auto* header = new QHBoxLayout;
    header->setSpacing(kHeaderSpacing);
    auto* dot = new QLabel(this);
    dot->setPixmap(gradientDot(2.0));
    dot->setFixedSize(kDot, kDot);
    m_title = labels::make(title, AppTheme::TextStyle::Title3, QFont::Bold, AppTheme::ink(), this);
    m_title->setObjectName(QStringLiteral("settingsCardTitle"));
    header->addWidget(dot, 0, Qt::AlignVCenter);
    header->addWidget(m_title, 0, Qt::AlignVCenter);
    header->addStretch(1);
    contentLayout()->addLayout(header);
}

QString SettingsCard::title() const
{
    return m_title->text();
}
