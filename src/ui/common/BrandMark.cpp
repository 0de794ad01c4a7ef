#include "ui/common/BrandMark.h"

#include "ui/common/AppTheme.h"
#include "ui/common/BrandIconEngine.h"
#include "ui/common/ShadowCaster.h"

#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

static void initBrandResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(razo);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {
const QString kIconPath = QStringLiteral(":/razo/razo.svg");
// The artwork's rounded square spans 8..248 of 256: the shadow follows that shape.
constexpr qreal kArtInset = 42.0 * 8 / 256;
constexpr qreal kArtRadius = 42.0 * 56 / 256;
} // namespace

BrandMark::BrandMark(QWidget* parent) : QWidget(parent)
{
    initBrandResources();
    setObjectName(QStringLiteral("brandMark"));
    setAccessibleName(QStringLiteral("razo"));
    const int s = AppTheme::Metrics::brandMarkSize;
    setFixedSize(s, s);
    ShadowCaster::setShadow(this, AppTheme::brandMarkShadow(), kArtRadius, kArtInset);
}

bool BrandMark::event(QEvent* e)
{
    const bool r = QWidget::event(e);
    if (e->type() == QEvent::ParentChange)
        ShadowCaster::setShadow(this, AppTheme::brandMarkShadow(), kArtRadius, kArtInset);
    return r;
}

QPixmap BrandMark::iconPixmap(int size, qreal dpr)
{
    initBrandResources();
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1@%2").arg(size).arg(dpr);
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QSvgRenderer renderer(kIconPath);
    if (!renderer.isValid())
        return {};
    const int px = static_cast<int>(std::lround(size * dpr));
    QImage img(px, px, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&p, QRectF(0, 0, px, px));
    }
    QPixmap pm = QPixmap::fromImage(img);
    pm.setDevicePixelRatio(dpr);
    cache.insert(key, pm);
    return pm;
}

bool BrandMark::hasArtwork()
{
    initBrandResources();
    return QFile::exists(kIconPath);
}

QIcon BrandMark::appIcon()
{
    // Rendered at the sizes the platform asks for, when it asks.
    const QIcon icon(new BrandIconEngine);
    // Installed, the icon theme holds the same artwork under the application id (the
    // desktop file's name), which is how the desktop matches window and launcher entry.
    const QString appId = QGuiApplication::desktopFileName();
    return appId.isEmpty() ? icon : QIcon::fromTheme(appId, icon);
}

bool BrandMark::hasImage() const
{
    return !iconPixmap(width()).isNull();
}

void BrandMark::paintEvent(QPaintEvent*)
{
    const QPixmap pm = iconPixmap(width(), devicePixelRatioF());
    if (pm.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(QRectF(rect()), pm, QRectF(pm.rect()));
}
