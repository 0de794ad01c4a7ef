#include "ui/overview/DashboardRowButton.h"

#include "ui/common/AppTheme.h"
#include "ui/overview/PressLook.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace {

constexpr int kPadH = 6;
constexpr int kPadV = 5;
constexpr int kGap = 10;

} // namespace

DashboardRowButton::DashboardRowButton(QWidget* parent) : PressableButton(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setPressedScale(0.992);
    setPressAnimationMs(100);
    setFocusRadius(9);
    m_main.font = AppTheme::font(AppTheme::TextStyle::Callout);
    m_main.color = AppTheme::ink();
}

void DashboardRowButton::setContent(const Line& leading, int leadingWidth, const Line& main,
                                    const Line& trailing)
{
    m_leading = leading;
    m_leadingWidth = leadingWidth;
    m_main = main;
    m_trailing = trailing;
    setText(main.text);
    QStringList spoken;
    for (const QString& part : {leading.text, main.text, trailing.text}) {
        if (!part.isEmpty())
            spoken.append(part);
    }
    setAccessibleName(spoken.join(QLatin1Char(' ')));
    updateGeometry();
    update();
}

QSize DashboardRowButton::sizeHint() const
{
    qreal h = QFontMetricsF(m_main.font).height();
    if (m_leadingWidth > 0)
        h = std::max(h, QFontMetricsF(m_leading.font).height());
    if (!m_trailing.text.isEmpty())
        h = std::max(h, QFontMetricsF(m_trailing.font).height());
    // The width is only a preference: long texts are elided rather than widening the card.
    return QSize(240, int(std::ceil(h)) + 2 * kPadV);
}

QSize DashboardRowButton::minimumSizeHint() const
{
    return QSize(2 * kPadH + m_leadingWidth + 40, sizeHint().height());
}

void DashboardRowButton::paintButton(QPainter& p, qreal t)
{
    using namespace AppTheme;
    const QRectF r(rect());
    if (t > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(presslook::fadeIn(withOpacity(primaryAccent(), 0.08), t));
        p.drawRoundedRect(r, 9, 9);
    }

    const QFontMetricsF mainFm(m_main.font);
    const QFontMetricsF leadFm(m_leading.font);
    const QFontMetricsF trailFm(m_trailing.font);
    // One baseline for every part: below the tallest ascent, the block centred vertically.
    qreal ascent = mainFm.ascent();
    qreal descent = mainFm.descent();
    if (m_leadingWidth > 0) {
        ascent = std::max(ascent, leadFm.ascent());
        descent = std::max(descent, leadFm.descent());
    }
    const qreal baseline = r.center().y() + (ascent - descent) / 2.0;

    qreal left = kPadH;
    qreal right = r.width() - kPadH;
    if (m_leadingWidth > 0) {
        p.setFont(m_leading.font);
        p.setPen(m_leading.color);
        p.drawText(QPointF(left, baseline),
                   leadFm.elidedText(m_leading.text, Qt::ElideRight, m_leadingWidth));
        left += m_leadingWidth + kGap;
    }
    if (!m_trailing.text.isEmpty()) {
        const QString shown =
            trailFm.elidedText(m_trailing.text, Qt::ElideRight, std::max(0.0, right - left) / 2);
        const qreal w = trailFm.horizontalAdvance(shown);
        p.setFont(m_trailing.font);
        p.setPen(m_trailing.color);
        p.drawText(QPointF(right - w, baseline), shown);
        right -= w + kGap;
    }
    p.setFont(m_main.font);
    p.setPen(m_main.color);
    p.drawText(QPointF(left, baseline),
               mainFm.elidedText(m_main.text, Qt::ElideRight, std::max(0.0, right - left)));
}
