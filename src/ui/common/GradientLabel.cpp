#include "ui/common/GradientLabel.h"

#include "ui/common/AccessibleText.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"

#include <QFontMetrics>
#include <QPainter>

GradientLabel::GradientLabel(const QString& text, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("gradientTitle"));
    accessibility::installFactory();
    setFont(AppTheme::systemFont(AppTheme::pixelSize(AppTheme::TextStyle::Title), QFont::Bold));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setText(text);
}

void GradientLabel::setText(const QString& text)
{
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

QSize GradientLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(m_text) + 2, fm.height());
}

QSize GradientLabel::minimumSizeHint() const
{
    return QSize(0, QFontMetrics(font()).height());
}

void GradientLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QString shown = QFontMetrics(font()).elidedText(m_text, Qt::ElideRight, width());
    painting::paintGradientText(p, QRectF(rect()), font(), shown, Qt::AlignLeft | Qt::AlignVCenter);
}
