#include "ui/common/BrandIconEngine.h"

#include "ui/common/BrandMark.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace {
// The square sizes offered to the platform (the sizes of the installed PNG icons).
constexpr int kSizes[] = {16, 32, 64, 128, 256};

QPixmap styled(QPixmap pm, QIcon::Mode mode)
{
    if (mode == QIcon::Normal || pm.isNull())
        return pm;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return pm;
    QStyleOption option;
    option.palette = QApplication::palette();
    return QApplication::style()->generatedIconPixmap(mode, pm, &option);
}
} // namespace

void BrandIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State)
{
    const int side = std::min(rect.width(), rect.height());
    if (side <= 0)
        return;
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QPixmap pm = styled(BrandMark::iconPixmap(side, dpr), mode);
    if (pm.isNull())
        return;
    QRect target(0, 0, side, side);
    target.moveCenter(rect.center());
    painter->drawPixmap(target, pm);
}

// `size` is in device pixels; QIcon sets the device pixel ratio of the result.
QPixmap BrandIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State)
{
    const int side = std::min(size.width(), size.height());
    if (side <= 0)
        return {};
    return styled(BrandMark::iconPixmap(side), mode);
}

QList<QSize> BrandIconEngine::availableSizes(QIcon::Mode, QIcon::State)
{
    QList<QSize> sizes;
    for (int s : kSizes)
        sizes << QSize(s, s);
    return sizes;
}

QSize BrandIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State)
{
    const int side = std::min(size.width(), size.height());
    return QSize(side, side);
}

QIconEngine* BrandIconEngine::clone() const
{
    return new BrandIconEngine;
}

QString BrandIconEngine::key() const
{
    return QStringLiteral("razo-brand");
}

bool BrandIconEngine::isNull()
{
    return !BrandMark::hasArtwork();
}
