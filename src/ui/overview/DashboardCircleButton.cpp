#include "ui/overview/DashboardCircleButton.h"

#include "ui/common/AppTheme.h"
#include "ui/common/MiniSpinner.h"
#include "ui/common/ShadowCaster.h"
#include "ui/common/SymbolIcons.h"
#include "ui/overview/PressLook.h"

#include <QEvent>
#include <QPainter>
#include <QVariantAnimation>

namespace {

AppTheme::ShadowSpec shadowAt(qreal t)
{
    // Rest: black 0.045, radius 10, 6 down. Pressed: black 0.02, radius 3, 2 down.
    const auto lerp = [t](qreal a, qreal b) { return a + (b - a) * t; };
    return {AppTheme::rgb(0, 0, 0, lerp(0.045, 0.02)), lerp(10, 3), 0, lerp(6, 2)};
}

} // namespace

DashboardCircleButton::DashboardCircleButton(const QString& symbolName, int size, const QColor& tint,
                                             int iconSize, QWidget* parent)
    : PressableButton(parent), m_symbol(symbolName), m_size(size), m_tint(tint), m_iconSize(iconSize),
      m_spinner(new MiniSpinner(this, std::max(12, iconSize + 2))), m_shadowAnim(new QVariantAnimation(this))
{
    setFixedSize(size, size);
    setPressedScale(0.94);
    setPressAnimationMs(AppTheme::pressAnimationMs);
    setFocusRadius(size / 2.0);
    m_spinner->setColor(tint);
    m_spinner->move((size - m_spinner->width()) / 2, (size - m_spinner->height()) / 2);
    m_spinner->hide();

    m_shadowAnim->setEasingCurve(QEasingCurve::OutCubic);
    m_shadowAnim->setDuration(AppTheme::pressAnimationMs);
    connect(m_shadowAnim, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { applyShadow(v.toReal()); });
    auto animateShadow = [this](qreal target) {
        m_shadowAnim->stop();
        m_shadowAnim->setStartValue(m_shadowProgress);
        m_shadowAnim->setEndValue(target);
        m_shadowAnim->start();
    };
    connect(this, &QAbstractButton::pressed, this, [animateShadow] { animateShadow(1); });
    connect(this, &QAbstractButton::released, this, [animateShadow] { animateShadow(0); });
    applyShadow(0);
}

void DashboardCircleButton::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    m_spinner->setVisible(busy);
    update();
}

void DashboardCircleButton::applyShadow(qreal pressed)
{
    m_shadowProgress = pressed;
    ShadowCaster::setShadow(this, shadowAt(pressed), m_size / 2.0);
}

bool DashboardCircleButton::event(QEvent* e)
{
    const bool handled = PressableButton::event(e);
    if (e->type() == QEvent::ParentChange)
        applyShadow(m_shadowProgress);
    return handled;
}

void DashboardCircleButton::paintButton(QPainter& p, qreal t)
{
    using namespace AppTheme;
    const QRectF circle = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(presslook::mix(border(), withOpacity(primaryAccent(), 0.35), t), 1));
    p.setBrush(presslook::mix(cardBackground(), withOpacity(primaryAccent(), 0.16), t));
    p.drawEllipse(circle);
    if (m_busy)
        return; // the spinner child draws itself
    const QRectF icon(QPointF(0, 0), QSizeF(m_iconSize, m_iconSize));
    SymbolIcons::paint(p, icon.translated(QRectF(rect()).center() - icon.center()), m_symbol,
                       presslook::mix(m_tint, primaryAccent(), t));
}
