#include "ui/overview/MoreRowsButton.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"
#include "ui/common/SymbolIcons.h"
#include "ui/overview/PressLook.h"
#include "ui/overview/logic/OverviewTexts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace {

constexpr int kPadH = 10;
constexpr int kPadV = 7;
constexpr int kIcon = 11;
constexpr int kIconGap = 4;

QFont labelFont()
{
    return AppTheme::font(AppTheme::TextStyle::Caption, QFont::DemiBold);
}

} // namespace

MoreRowsButton::MoreRowsButton(QWidget* parent) : PressableButton(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setPressedScale(0.97);
    setToolTip(QStringLiteral("查看更多"));
    setCount(0);
}

void MoreRowsButton::setCount(int count)
{
    m_count = count;
    setText(overviewtext::moreRows(count));
    setAccessibleName(text());
    setAccessibleDescription(QStringLiteral("查看更多"));
    updateGeometry();
    update();
}

QSize MoreRowsButton::sizeHint() const
{
    const QFontMetricsF fm(labelFont());
    const qreal w = kPadH + kIcon + kIconGap + fm.horizontalAdvance(text()) + kPadH;
    const qreal h = std::max<qreal>(fm.height(), kIcon) + 2 * kPadV;
    return QSize(int(std::ceil(w)), int(std::ceil(h)));
}

void MoreRowsButton::paintButton(QPainter& p, qreal t)
{
    using namespace AppTheme;
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painting::paintCapsule(p, r, presslook::mix(subtleBackground(), withOpacity(primaryAccent(), 0.12), t),
                           presslook::mix(border(), withOpacity(primaryAccent(), 0.35), t));
    const QColor label = presslook::mix(mutedInk(), primaryAccent(), t);
    const QFontMetricsF fm(labelFont());
    const qreal contentWidth = kIcon + kIconGap + fm.horizontalAdvance(text());
    qreal x = r.center().x() - contentWidth / 2;
    const qreal cy = r.center().y();
    SymbolIcons::paint(p, QRectF(x, cy - kIcon / 2.0, kIcon, kIcon), QStringLiteral("ellipsis"), label);
    x += kIcon + kIconGap;
    p.setFont(labelFont());
    p.setPen(label);
    p.drawText(QPointF(x, cy + (fm.ascent() - fm.descent()) / 2), text());
}
