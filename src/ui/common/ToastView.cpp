#include "ui/common/ToastView.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QVariantAnimation>
#include <cmath>

namespace {

constexpr qreal kResponse = 0.5; // seconds
constexpr qreal kDamping = 0.85;
constexpr int kShadowMargin = 14; // room for the shadow around the capsule
constexpr qreal kSettle = 0.7;    // seconds until the spring is at rest

// Damped spring from 0 to 1 over kSettle seconds, sampled at t in [0, 1].
qreal spring(qreal t)
{
    if (t >= 1.0)
        return 1.0;
    const qreal omega = 2 * M_PI / kResponse;
    const qreal omegaD = omega * std::sqrt(1 - kDamping * kDamping);
    const qreal time = t * kSettle;
    const qreal decay = std::exp(-kDamping * omega * time);
    return 1 - decay * (std::cos(omegaD * time) +
                        kDamping / std::sqrt(1 - kDamping * kDamping) * std::sin(omegaD * time));
}

} // namespace

QEasingCurve ToastView::springCurve()
{
    QEasingCurve c;
    c.setCustomType(&spring);
    return c;
}

int ToastView::springDurationMs()
{
    return static_cast<int>(kSettle * 1000);
}

ToastView::ToastView(QWidget* parent) : QWidget(parent), m_anim(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("toast"));
    setFont(AppTheme::font(AppTheme::TextStyle::Callout, QFont::DemiBold));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_anim->setDuration(springDurationMs());
    m_anim->setEasingCurve(springCurve());
    connect(m_anim, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_progress = v.toReal();
        reposition();
        update();
    });
    connect(m_anim, &QVariantAnimation::finished, this, [this] {
        if (m_target == 0)
            hide();
    });
    parent->installEventFilter(this);
    hide();
}

void ToastView::setMessage(const QString& text)
{
    if (text.isEmpty()) {
        if (m_target != 0)
            animateTo(0);
        return;
    }
    m_text = text;
    setAccessibleName(text);
    if (m_target != 1) {
        animateTo(1);
    } else {
        reposition();
        update();
    }
}

void ToastView::animateTo(qreal target)
{
    m_target = target;
    m_anim->stop();
    m_anim->setStartValue(m_progress);
    m_anim->setEndValue(target);
    if (target > 0) {
        show();
        raise();
    }
    reposition();
    m_anim->start();
}

QSize ToastView::capsuleSize() const
{
    using namespace AppTheme::Metrics;
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(m_text) + 2 * toastPaddingH, fm.height() + 2 * toastPaddingV);
}

QSize ToastView::sizeHint() const
{
    return capsuleSize() + QSize(2 * kShadowMargin, 2 * kShadowMargin);
}

void ToastView::reposition()
{
    QWidget* host = parentWidget();
    if (!host)
        return;
    const QSize cap = capsuleSize();
    const QSize full = sizeHint();
    const qreal shownTop = host->height() - AppTheme::Metrics::toastBottom - cap.height();
    const qreal hiddenTop = host->height() + kShadowMargin; // fully below the edge
    const qreal capTop = hiddenTop + (shownTop - hiddenTop) * m_progress;
    setGeometry((host->width() - full.width()) / 2, int(std::round(capTop)) - kShadowMargin, full.width(),
                full.height());
}

bool ToastView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        reposition();
    return QWidget::eventFilter(watched, event);
}

void ToastView::paintEvent(QPaintEvent*)
{
    if (m_text.isEmpty())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(std::clamp(m_progress, 0.0, 1.0));
    const QRectF cap(kShadowMargin, kShadowMargin, capsuleSize().width(), capsuleSize().height());
    painting::paintShadow(p, cap, cap.height() / 2, AppTheme::toastShadow());
    // The regular translucent material: frosted white over the page.
    painting::paintCapsule(p, cap, AppTheme::rgb(0.985, 0.988, 0.993, 0.94), AppTheme::rgb(0, 0, 0, 0.06));
    p.setFont(font());
    p.setPen(AppTheme::ink());
    p.drawText(cap, Qt::AlignCenter, m_text);
}
