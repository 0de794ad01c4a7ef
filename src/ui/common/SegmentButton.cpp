#include "ui/common/SegmentButton.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"

#include <QFontMetrics>
#include <QPainter>

SegmentButton::SegmentButton(const QString& value, const QString& label, QWidget* parent)
    : PressableButton(parent), m_value(value)
{
    setObjectName(QStringLiteral("segment_") + value);
    setText(label);
    setAccessibleName(label);
    setCheckable(true);
    setAutoExclusive(true);
    setPressedScale(0.98);
    setFocusRadius(AppTheme::Radius::segment - 2);
    setFont(AppTheme::font(AppTheme::TextStyle::Callout, QFont::Medium));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize SegmentButton::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 28, 24);
}

QSize SegmentButton::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 12, 24);
}

void SegmentButton::paintButton(QPainter& p, qreal pressed)
{
    using namespace AppTheme;
    const QRectF r = QRectF(rect());
    if (isChecked()) {
        painting::CardStyle s;
        s.rect = r.adjusted(0.5, 0.5, -0.5, -0.5);
        s.cornerRadius = Radius::segment - 2;
        s.fill = rgb(1, 1, 1);
        s.border = rgb(0, 0, 0, 0.06);
        s.shadow = ShadowSpec{rgb(0, 0, 0, 0.10), 3, 0, 1};
        painting::paintCard(p, s);
    } else if (pressed > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(withOpacity(rgb(0, 0, 0), 0.06 * pressed));
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), Radius::segment - 2, Radius::segment - 2);
    }
    QFont f = font();
    if (isChecked())
        f.setWeight(QFont::DemiBold);
    p.setFont(f);
    QColor text = isChecked() ? ink() : withOpacity(ink(), 0.72);
    if (!isEnabled())
        text = tertiaryText();
    p.setPen(text);
    const QString shown = QFontMetrics(f).elidedText(this->text(), Qt::ElideRight, width() - 8);
    p.drawText(r, Qt::AlignCenter, shown);
}
