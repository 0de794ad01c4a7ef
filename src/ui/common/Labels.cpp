#include "ui/common/Labels.h"

#include <QLabel>
#include <QPalette>

namespace labels {

void setTextColor(QWidget* w, const QColor& color)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::Text, color);
    w->setPalette(pal);
}

void style(QLabel* label, AppTheme::TextStyle textStyle, int weight, const QColor& color)
{
    label->setFont(AppTheme::font(textStyle, weight));
    setTextColor(label, color);
}

QLabel* make(const QString& text, AppTheme::TextStyle textStyle, int weight, const QColor& color,
             QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    style(l, textStyle, weight, color);
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace labels
