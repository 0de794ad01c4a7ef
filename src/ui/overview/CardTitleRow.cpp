#include "ui/overview/CardTitleRow.h"

#include "ui/common/AppTheme.h"
#include "ui/common/SymbolIcons.h"
#include "ui/overview/PressLook.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int kPadH = 8;
constexpr int kPadV = 6;
constexpr int kDot = 9;
constexpr int kGap = 8;
constexpr int kChevron = 11;

QFont titleFont()
{
    return AppTheme::font(AppTheme::TextStyle::Headline, QFont::Bold);
}

QFont countFont()
{
    return AppTheme::font(AppTheme::TextStyle::Caption, QFont::Bold);
}

} // namespace

CardTitleRow::CardTitleRow(const QString& title, const QColor& tint, bool hasAction, QWidget* parent)
    : PressableButton(parent), m_title(title), m_tint(tint), m_hasAction(hasAction)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setPressedScale(0.985);
    setFocusRadius(10);
    setText(title);
    setAccessibleName(title);
    if (hasAction) {
        setToolTip(QStringLiteral("查看") + title);
        setAccessibleDescription(QStringLiteral("查看") + title);
    } else {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
}

void CardTitleRow::setCount(int count)
{
    if (count == m_count)
        return;
    m_count = count;
    updateGeometry();
    update();
}

QSize CardTitleRow::sizeHint() const
{
    const QFontMetrics title(titleFont());
    const QFontMetrics count(countFont());
    int w = kPadH + kDot + kGap + title.horizontalAdvance(m_title) + 6 +
            count.horizontalAdvance(QString::number(m_count)) + kPadH;
    if (m_hasAction)
        w += kGap + kChevron;
    return QSize(w, std::max(title.height(), kDot) + 2 * kPadV);
}

QSize CardTitleRow::minimumSizeHint() const
{
    return QSize(kPadH * 2 + kDot + kGap + 40, sizeHint().height());
}

void CardTitleRow::paintButton(QPainter& p, qreal t)
{
    using namespace AppTheme;
    const QRectF r(rect());
    if (m_hasAction && t > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(presslook::fadeIn(withOpacity(m_tint, 0.12), t));
        p.drawRoundedRect(r, 10, 10);
    }

    const qreal cy = r.center().y();
    qreal x = kPadH;
    p.setPen(Qt::NoPen);
    p.setBrush(m_tint);
    p.drawEllipse(QRectF(x, cy - kDot / 2.0, kDot, kDot));
    x += kDot + kGap;

    const QFontMetricsF title(titleFont());
    const QFontMetricsF count(countFont());
    const QString countText = QString::number(m_count);
    const qreal chevronSpace = m_hasAction ? kGap + kChevron : 0;
    const qreal titleRoom =
        std::max(0.0, r.width() - kPadH - chevronSpace - x - 6 - count.horizontalAdvance(countText));
    const QString shownTitle = title.elidedText(m_title, Qt::ElideRight, titleRoom);
    const qreal baseline = cy + (title.ascent() - title.descent()) / 2.0;
    p.setFont(titleFont());
    p.setPen(ink());
    p.drawText(QPointF(x, baseline), shownTitle);
    x += title.horizontalAdvance(shownTitle) + 6;
    p.setFont(countFont());
    p.setPen(secondaryText());
    p.drawText(QPointF(x, baseline), countText);

    if (m_hasAction) {
        const QRectF chevron(r.right() - kPadH - kChevron, cy - kChevron / 2.0, kChevron, kChevron);
        SymbolIcons::paint(p, chevron, QStringLiteral("chevron.right"), secondaryText());
    }
}
