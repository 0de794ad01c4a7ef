#include "ui/common/IconLabel.h"

#include "ui/common/AccessibleText.h"

#include "ui/common/SymbolIcons.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kGap = 6;
}

IconLabel::IconLabel(const QString& symbolName, const QString& text, const QColor& color, const QFont& font,
                     QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("iconLabel"));
    accessibility::installFactory();
    setFont(font);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    set(symbolName, text, color);
}

void IconLabel::set(const QString& symbolName, const QString& text, const QColor& color)
{
    m_symbol = symbolName;
    m_text = text;
    m_color = color;
    setAccessibleName(text);
    updateGeometry();
    update();
}

int IconLabel::iconSize() const
{
    return QFontMetrics(font()).ascent();
}

QSize IconLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(iconSize() + kGap + fm.horizontalAdvance(m_text) + 1, fm.height());
}

QSize IconLabel::minimumSizeHint() const
{
    return QSize(iconSize() + kGap, QFontMetrics(font()).height());
}

void IconLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm(font());
    const int s = iconSize();
    SymbolIcons::paint(p, QRectF(0, (height() - s) / 2.0, s, s), m_symbol, m_color);
    p.setFont(font());
    p.setPen(m_color);
    const int x = s + kGap;
    p.drawText(QRect(x, 0, width() - x, height()), Qt::AlignVCenter | Qt::AlignLeft,
               fm.elidedText(m_text, Qt::ElideRight, width() - x));
}
