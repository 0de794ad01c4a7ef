#include "ui/common/BorderedButton.h"

#include "ui/common/AppTheme.h"

BorderedButton::BorderedButton(const QString& text, const QString& symbolName, QWidget* parent)
    : ActionButton(text, symbolName, parent)
{
    setObjectName(QStringLiteral("borderedButton"));
    setPressedScale(0.97);
}

ActionButton::Colours BorderedButton::colours(qreal pressed) const
{
    using namespace AppTheme;
    if (!isEnabled())
        return {withOpacity(cardBackground(), 0.6), withOpacity(border(), 0.6), tertiaryText()};
    // Pressing lays an accent wash over the white fill.
    const QColor a = primaryAccent();
    const double t = 0.12 * pressed;
    const QColor fill = rgb(1 - (1 - a.redF()) * t, 1 - (1 - a.greenF()) * t, 1 - (1 - a.blueF()) * t);
    const QColor label = pressed > 0.5 ? primaryAccent() : ink();
    const QColor outline = pressed > 0.5 ? withOpacity(primaryAccent(), 0.35) : border();
    return {fill, outline, label};
}
