#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// razo's icons. The views name icons by the platform symbol names ("checkmark.circle.fill");
// this is the one place that maps each name to a bundled line icon (resources/icons/symbols),
// tinted when painted. Unknown names paint nothing.
class SymbolIcons
{
public:
    // Every symbol name razo knows, in table order.
    static QStringList names();
    static bool has(const QString& symbolName);
    // Resource path of the icon's SVG, empty for an unknown name.
    static QString resourcePath(const QString& symbolName);

    // The icon at `size` logical pixels in `tint`, rendered for device pixel ratio dpr.
    // Cached; a null pixmap for an unknown name.
    static QPixmap pixmap(const QString& symbolName, int size, const QColor& tint, qreal dpr = 1.0);
    // Paints the icon centred in rect (square of the smaller side) in tint.
    static void paint(QPainter& p, const QRectF& rect, const QString& symbolName, const QColor& tint);
    // A QIcon (for menus and actions) in tint.
    static QIcon icon(const QString& symbolName, const QColor& tint, int size = 16);
};
