#include "ui/common/PressableButton.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"

#include <QFocusEvent>
#include <QPainter>
#include <QVariantAnimation>

PressableButton::PressableButton(QWidget* parent)
    : QAbstractButton(parent), m_anim(new QVariantAnimation(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::ArrowCursor);
    m_anim->setEasingCurve(QEasingCurve::OutCubic);
    m_anim->setDuration(AppTheme::pressAnimationMs);
    connect(m_anim, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_progress = v.toReal();
        update();
    });
    connect(this, &QAbstractButton::pressed, this, [this] { animateTo(1); });
    connect(this, &QAbstractButton::released, this, [this] { animateTo(0); });
}

void PressableButton::setPressAnimationMs(int ms)
{
    m_anim->setDuration(ms);
}

void PressableButton::animateTo(qreal target)
{
    m_anim->stop();
    m_anim->setStartValue(m_progress);
    m_anim->setEndValue(target);
    m_anim->start();
}

void PressableButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const qreal scale = 1.0 - (1.0 - m_pressedScale) * m_progress;
    if (scale != 1.0) {
        const QPointF c = QRectF(rect()).center();
        p.translate(c);
        p.scale(scale, scale);
        p.translate(-c);
    }
    paintButton(p, m_progress);
    if (m_keyboardFocus && hasFocus()) {
        const qreal r = m_focusRadius < 0 ? height() / 2.0 : m_focusRadius;
        painting::paintFocusRing(p, QRectF(rect()), r);
    }
}

void PressableButton::focusInEvent(QFocusEvent* e)
{
    m_keyboardFocus = e->reason() == Qt::TabFocusReason || e->reason() == Qt::BacktabFocusReason ||
                      e->reason() == Qt::ShortcutFocusReason;
    QAbstractButton::focusInEvent(e);
}

void PressableButton::focusOutEvent(QFocusEvent* e)
{
    m_keyboardFocus = false;
    QAbstractButton::focusOutEvent(e);
}

bool PressableButton::focusNextPrevChild(bool next)
{
    if (isEnabled() || !hasFocus())
        return QAbstractButton::focusNextPrevChild(next);
    // Disabled while it had the focus (a button that turns busy when pressed): Qt would pass
    // the focus on as if Tab had been pressed, and another control would show a focus ring
    // nobody asked for. The window takes the focus instead, quietly.
    window()->setFocus(Qt::OtherFocusReason);
    return true;
}
