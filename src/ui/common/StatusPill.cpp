#include "ui/common/StatusPill.h"

#include "ui/common/AccessibleText.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"
#include "ui/common/SymbolIcons.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kIconGap = 5;
int iconSize()
{
    return AppTheme::pixelSize(AppTheme::TextStyle::Subheadline) + 1;
}
} // namespace

StatusPill::StatusPill(const QString& title, const QString& systemImage, const QColor& tint, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("statusPill"));
    accessibility::installFactory();
    setFont(AppTheme::font(AppTheme::TextStyle::Subheadline, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    set(title, systemImage, tint);
}

void StatusPill::set(const QString& title, const QString& systemImage, const QColor& tint)
{
    m_title = title;
    m_symbol = systemImage;
    m_tint = tint;
    setAccessibleName(title);
    updateGeometry();
    update();
}

QSize StatusPill::sizeHint() const
{
    const QFontMetrics fm(font());
    int w = 2 * AppTheme::Metrics::pillPaddingH + fm.horizontalAdvance(m_title);
    if (!m_symbol.isEmpty())
        w += iconSize() + kIconGap;
    return QSize(w, fm.height() + 2 * AppTheme::Metrics::pillPaddingV);
}

void StatusPill::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    painting::paintCapsule(p, QRectF(rect()), AppTheme::withOpacity(m_tint, 0.12));
    qreal x = AppTheme::Metrics::pillPaddingH;
    if (!m_symbol.isEmpty()) {
        const int s = iconSize();
        SymbolIcons::paint(p, QRectF(x, (height() - s) / 2.0, s, s), m_symbol, m_tint);
        x += s + kIconGap;
    }
    p.setFont(font());
    p.setPen(m_tint);
    p.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignVCenter | Qt::AlignLeft, m_title);
}
