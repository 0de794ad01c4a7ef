#include "ui/common/SoftCard.h"

#include "ui/common/Painting.h"
#include "ui/common/ShadowCaster.h"

#include <QEvent>
#include <QPainter>
#include <QVBoxLayout>

SoftCard::SoftCard(qreal cornerRadius, int padding, QWidget* parent)
    : QWidget(parent), m_radius(cornerRadius), m_padding(padding), m_fill(AppTheme::cardBackground()),
      m_border(AppTheme::border()), m_shadow(AppTheme::cardShadow()), m_layout(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("softCard"));
    m_layout->setContentsMargins(padding, padding, padding, padding);
    m_layout->setSpacing(0);
    ShadowCaster::setShadow(this, m_shadow, m_radius);
}

void SoftCard::addWidget(QWidget* w, int stretch)
{
    m_layout->addWidget(w, stretch);
}

void SoftCard::setFill(const QColor& fill)
{
    m_fill = fill;
    update();
}

void SoftCard::setBorderColor(const QColor& border)
{
    m_border = border;
    update();
}

void SoftCard::setShadow(std::optional<AppTheme::ShadowSpec> shadow)
{
    m_shadow = shadow;
    ShadowCaster::setShadow(this, m_shadow, m_radius);
}

bool SoftCard::event(QEvent* e)
{
    const bool r = QWidget::event(e);
    if (e->type() == QEvent::ParentChange)
        ShadowCaster::setShadow(this, m_shadow, m_radius);
    return r;
}

void SoftCard::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    painting::CardStyle s;
    s.rect = QRectF(rect());
    s.cornerRadius = m_radius;
    s.fill = m_fill;
    s.border = m_border;
    painting::paintCard(p, s);
}
