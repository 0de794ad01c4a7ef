#include "ui/common/MiniSpinner.h"

#include "ui/common/AppTheme.h"

#include <QPainter>
#include <QTimer>
#include <cmath>

MiniSpinner::MiniSpinner(QWidget* parent, int size)
    : QWidget(parent), m_size(size), m_color(AppTheme::secondaryText()), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("miniSpinner"));
    setAccessibleName(QStringLiteral("进行中"));
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer->setInterval(80);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_phase = (m_phase + 1) % 12;
        update();
    });
}

void MiniSpinner::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void MiniSpinner::paintSpinner(QPainter& p, const QRectF& rect, int phase, const QColor& color)
{
    const qreal side = std::min(rect.width(), rect.height());
    const QPointF c = rect.center();
    const qreal outer = side / 2;
    const qreal inner = outer * 0.48;
    const qreal width = std::max(1.4, side / 9.0);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 12; ++i) {
        // Spoke i trails the leading spoke by (phase - i) steps.
        const int age = (phase - i + 12) % 12;
        QColor col = color;
        col.setAlphaF(color.alphaF() * std::max(0.18, 1.0 - age / 12.0));
        p.setPen(QPen(col, width, Qt::SolidLine, Qt::RoundCap));
        const qreal a = (i * 30.0 - 90.0) * M_PI / 180.0;
        p.drawLine(
            QPointF(c.x() + inner * std::cos(a), c.y() + inner * std::sin(a)),
            QPointF(c.x() + (outer - width / 2) * std::cos(a), c.y() + (outer - width / 2) * std::sin(a)));
    }
    p.restore();
}

void MiniSpinner::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintSpinner(p, rect(), m_phase, m_color);
}

void MiniSpinner::showEvent(QShowEvent*)
{
    m_timer->start();
}

void MiniSpinner::hideEvent(QHideEvent*)
{
    m_timer->stop();
}
