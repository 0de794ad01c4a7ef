#include "ui/common/ToggleSwitch.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"

#include <QFontMetrics>
#include <QPainter>
#include <QVariantAnimation>

ToggleSwitch::ToggleSwitch(const QString& text, QWidget* parent)
    : QAbstractButton(parent), m_anim(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("toggleSwitch"));
    setCheckable(true);
    setText(text);
    setAccessibleName(text);
    setFocusPolicy(Qt::StrongFocus);
    setFont(AppTheme::font(AppTheme::TextStyle::Callout));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_anim->setDuration(160);
    m_anim->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_anim, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_pos = v.toReal();
        update();
    });
    connect(this, &QAbstractButton::toggled, this, [this] { animateKnob(); });
}

QSize ToggleSwitch::sizeHint() const
{
    const int textW = text().isEmpty() ? 0 : QFontMetrics(font()).horizontalAdvance(text()) + kGap;
    return QSize(textW + kTrackW, std::max(kTrackH + 2, QFontMetrics(font()).height()));
}

void ToggleSwitch::checkStateSet()
{
    QAbstractButton::checkStateSet();
    animateKnob();
}

void ToggleSwitch::nextCheckState()
{
    setChecked(!isChecked());
}

bool ToggleSwitch::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void ToggleSwitch::animateKnob()
{
    const qreal target = isChecked() ? 1.0 : 0.0;
    if (!isVisible()) {
        m_anim->stop();
        m_pos = target;
        update();
        return;
    }
    m_anim->stop();
    m_anim->setStartValue(m_pos);
    m_anim->setEndValue(target);
    m_anim->start();
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    using namespace AppTheme;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    qreal x = 0;
    if (!text().isEmpty()) {
        p.setFont(font());
        p.setPen(isEnabled() ? ink() : tertiaryText());
        const int tw = QFontMetrics(font()).horizontalAdvance(text());
        p.drawText(QRectF(0, 0, tw + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
        x = tw + kGap;
    }
    const QRectF track(x, (height() - kTrackH) / 2.0, kTrackW, kTrackH);
    // Track colour blends from the grey "off" to the accent "on" with the knob.
    const QColor off = rgb(0, 0, 0, 0.10);
    const QColor on = primaryAccent();
    QColor fill = QColor::fromRgbF(off.redF() + (on.redF() - off.redF()) * m_pos,
                                   off.greenF() + (on.greenF() - off.greenF()) * m_pos,
                                   off.blueF() + (on.blueF() - off.blueF()) * m_pos,
                                   off.alphaF() + (on.alphaF() - off.alphaF()) * m_pos);
    if (!isEnabled())
        fill = withOpacity(fill, 0.5);
    painting::paintCapsule(p, track, fill, rgb(0, 0, 0, 0.06 * (1 - m_pos)));
    const qreal d = kTrackH - 4;
    const QRectF knob(track.left() + 2 + (kTrackW - 4 - d) * m_pos, track.top() + 2, d, d);
    painting::paintShadow(p, knob, d / 2, ShadowSpec{rgb(0, 0, 0, 0.22), 2, 0, 1});
    painting::paintCapsule(p, knob, rgb(1, 1, 1), rgb(0, 0, 0, 0.04));
    if (hasFocus())
        painting::paintFocusRing(p, track.adjusted(-2, -2, 2, 2), kTrackH / 2.0 + 2);
}
