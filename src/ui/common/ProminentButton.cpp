#include "ui/common/ProminentButton.h"

#include "ui/common/AppTheme.h"

ProminentButton::ProminentButton(const QString& text, const QString& symbolName, QWidget* parent)
    : ActionButton(text, symbolName, parent)
{
    setObjectName(QStringLiteral("prominentButton"));
    setPressedScale(0.97);
}

ActionButton::Colours ProminentButton::colours(qreal pressed) const
{
    using namespace AppTheme;
    if (!isEnabled())
        return {withOpacity(primaryAccent(), 0.38), QColor(), rgb(1, 1, 1, 0.9)};
    // Pressing darkens the fill towards a deeper blue.
    const QColor rest = primaryAccent();
    const QColor deep = rgb(0.10, 0.34, 0.80);
    const auto mix = [&](double a, double b) { return a + (b - a) * pressed; };
    const QColor fill = rgb(mix(rest.redF(), deep.redF()), mix(rest.greenF(), deep.greenF()),
                            mix(rest.blueF(), deep.blueF()));
    return {fill, QColor(), rgb(1, 1, 1)};
}
