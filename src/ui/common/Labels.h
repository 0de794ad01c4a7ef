#pragma once

#include "ui/common/AppTheme.h"

#include <QColor>
#include <QString>

class QLabel;
class QWidget;

// Plain labels in razo's text styles: the font of `style` at `weight` and the text colour
// set through the palette (no style sheets).
namespace labels {

void style(QLabel* label, AppTheme::TextStyle style, int weight = -1, const QColor& color = AppTheme::ink());
QLabel* make(const QString& text, AppTheme::TextStyle style, int weight = -1,
             const QColor& color = AppTheme::ink(), QWidget* parent = nullptr);
// Sets only the text colour of any widget.
void setTextColor(QWidget* w, const QColor& color);

} // namespace labels
