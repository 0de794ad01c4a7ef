#pragma once

#include <QColor>
#include <algorithm>

// Colours of the dashboard buttons between their rest look (t = 0) and pressed look (t = 1).
namespace presslook {

inline QColor mix(const QColor& rest, const QColor& pressed, qreal t)
{
    if (t <= 0)
        return rest;
    if (t >= 1)
        return pressed;
    const QColor a = rest.toRgb();
    const QColor b = pressed.toRgb();
    return QColor::fromRgbF(
        float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
        float(a.blueF() + (b.blueF() - a.blueF()) * t), float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

// A colour fading in with the pressed progress (transparent at rest).
inline QColor fadeIn(const QColor& pressed, qreal t)
{
    QColor c = pressed;
    c.setAlphaF(float(pressed.alphaF() * std::clamp(t, 0.0, 1.0)));
    return c;
}

} // namespace presslook
