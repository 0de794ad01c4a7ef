#include "ui/common/SidebarNavButton.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"
#include "ui/common/ShadowCaster.h"
#include "ui/common/SymbolIcons.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

SidebarNavButton::SidebarNavButton(AppSection section, QWidget* parent)
    : PressableButton(parent), m_section(section)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("nav_") + appsection::identifier(section));
    setText(appsection::title(section));
    setAccessibleName(appsection::title(section));
    const int number = static_cast<int>(appsection::all().indexOf(section)) + 1;
    setToolTip(QStringLiteral("%1（Ctrl+%2）").arg(appsection::title(section)).arg(number));
    setCheckable(true);
    setAutoExclusive(true);
    setPressedScale(0.985);
    setFocusRadius(Radius::navButton);
    setFont(AppTheme::font(TextStyle::Callout, QFont::DemiBold));
    setFixedHeight(Metrics::navHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::toggled, this, [this] { applyShadow(); });
}

void SidebarNavButton::setSelected(bool selected)
{
    if (selected == isChecked())
        return;
    // Auto-exclusive buttons cannot be unchecked directly; lift exclusivity for that.
    setAutoExclusive(false);
    setChecked(selected);
    setAutoExclusive(true);
    applyShadow();
}

void SidebarNavButton::applyShadow()
{
    ShadowCaster::setShadow(this, isChecked() ? std::optional(AppTheme::navSelectedShadow()) : std::nullopt,
                            AppTheme::Radius::navButton);
    update();
}

bool SidebarNavButton::event(QEvent* e)
{
    const bool r = PressableButton::event(e);
    if (e->type() == QEvent::ParentChange)
        applyShadow();
    return r;
}

QSize SidebarNavButton::sizeHint() const
{
    using namespace AppTheme::Metrics;
    const QFontMetrics fm(font());
    return QSize(2 * navPaddingH + navIconFrame + 11 + fm.horizontalAdvance(text()), navHeight);
}

void SidebarNavButton::paintButton(QPainter& p, qreal pressed)
{
    using namespace AppTheme;
    const bool selected = isChecked();
    const QRectF r = QRectF(rect());
    if (selected) {
        p.setPen(Qt::NoPen);
        p.setBrush(navSelectedBackground());
        p.drawRoundedRect(r, Radius::navButton, Radius::navButton);
    }
    // A plain button only dims its label while pressed.
    p.setOpacity(1.0 - 0.35 * pressed);
    const QColor iconColor = selected ? primaryAccent() : secondaryText();
    const QColor textColor = selected ? ink() : secondaryText();
    const qreal frameX = Metrics::navPaddingH;
    const QRectF iconFrame(frameX, (height() - Metrics::navIconFrame) / 2.0, Metrics::navIconFrame,
                           Metrics::navIconFrame);
    const qreal glyph = Metrics::navIconSize + 2; // a 15-point symbol fills about 17 pixels
    SymbolIcons::paint(
        p, QRectF(iconFrame.center().x() - glyph / 2, iconFrame.center().y() - glyph / 2, glyph, glyph),
        appsection::iconName(m_section), iconColor);
    p.setFont(font());
    p.setPen(textColor);
    const qreal x = iconFrame.right() + 11;
    const QFontMetrics fm(font());
    p.drawText(QRectF(x, 0, width() - x - Metrics::navPaddingH, height()), Qt::AlignVCenter | Qt::AlignLeft,
               fm.elidedText(text(), Qt::ElideRight, int(width() - x - Metrics::navPaddingH)));
}
