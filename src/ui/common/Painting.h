#pragma once

#include "ui/common/AppTheme.h"

#include <QColor>
#include <QFont>
#include <QMarginsF>
#include <QRectF>
#include <QString>
#include <optional>

class QPainter;

// Small painting helpers shared by every custom-painted component. They take plain
// structs, set up the painter themselves and restore it afterwards.
namespace painting {

// A rounded card: fill, 1 px outline, optional soft shadow.
struct CardStyle
{
    QRectF rect;
    qreal cornerRadius = AppTheme::Radius::card;
    QColor fill = AppTheme::cardBackground();
    QColor border = AppTheme::border(); // invalid colour: no outline
    qreal borderWidth = 1;
    std::optional<AppTheme::ShadowSpec> shadow;
};

// Paints a soft shadow for a rounded rectangle of cornerRadius at shape, shifted by the
// shadow's offset. Uses a cached, blurred nine-slice image, so it costs a few blits.
void paintShadow(QPainter& p, const QRectF& shape, qreal cornerRadius, const AppTheme::ShadowSpec& shadow);
// Extent of a shadow beyond its shape on each side (for update regions and margins).
QMarginsF shadowMargins(const AppTheme::ShadowSpec& shadow);

void paintCard(QPainter& p, const CardStyle& style);

// A capsule (corner radius = half the height) with an optional outline.
void paintCapsule(QPainter& p, const QRectF& rect, const QColor& fill, const QColor& border = QColor(),
                  qreal borderWidth = 1);

// Chat bubble: rounded rectangle of the bubble radius, optional outline.
void paintBubble(QPainter& p, const QRectF& rect, const QColor& fill, const QColor& border = QColor());

// Text filled with brandGradient, the gradient spanning the text's own bounding box.
void paintGradientText(QPainter& p, const QRectF& rect, const QFont& font, const QString& text,
                       int flags = Qt::AlignLeft | Qt::AlignVCenter);

// Keyboard focus ring around a rounded shape.
void paintFocusRing(QPainter& p, const QRectF& shape, qreal cornerRadius);

} // namespace painting
