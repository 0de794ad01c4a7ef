#include "ui/common/Painting.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace painting {
namespace {

// One horizontal then vertical box blur pass over the alpha channel of a premultiplied image.
// Works on the raw pixels: QImage::scanLine() per pixel would check for a detach each time.
void boxBlurAlpha(QImage& img, int r)
{
    if (r <= 0)
        return;
    const int w = img.width();
    const int h = img.height();
    uchar* const bits = img.bits(); // detaches once
    const qsizetype stride = img.bytesPerLine();
    QVector<int> line(std::max(w, h));
    const int win = 2 * r + 1;
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w;
        const int inner = horizontal ? w : h;
        // Distance in bytes between two neighbouring alpha values along the pass.
        const qsizetype step = horizontal ? 4 : stride;
        for (int o = 0; o < outer; ++o) {
            uchar* const first = bits + (horizontal ? o * stride : qsizetype(o) * 4) + 3;
            for (int i = 0; i < inner; ++i)
                line[i] = first[i * step];
            int sum = 0;
            for (int i = -r; i <= r; ++i)
                sum += (i >= 0 && i < inner) ? line[i] : 0;
            for (int i = 0; i < inner; ++i) {
                first[i * step] = static_cast<uchar>(sum / win);
                const int add = i + r + 1;
                const int sub = i - r;
                sum += (add < inner ? line[add] : 0) - (sub >= 0 ? line[sub] : 0);
            }
        }
    };
    pass(true);
    pass(false);
}

struct ShadowKey
{
    int radius;
    int blur;
    QRgb color;
    bool operator==(const ShadowKey&) const = default;
};
size_t qHash(const ShadowKey& k, size_t seed = 0)
{
    return qHashMulti(seed, k.radius, k.blur, k.color);
}

// Blur of a shadow: three box passes of half-width r approximate a Gaussian whose sigma is
// half the shadow's radius; the blur reaches 3r beyond the shape.
int boxRadius(qreal shadowRadius)
{
    return std::max(1, int(std::lround(shadowRadius / 2.0 - 0.5)));
}
int blurReach(qreal shadowRadius)
{
    return 3 * boxRadius(shadowRadius);
}

// A square image holding a blurred rounded square of the given corner radius; the middle
// row and column are uniform, so the image can be drawn as nine slices at any size.
const QImage& shadowTile(int radius, qreal shadowRadius, const QColor& color)
{
    static QHash<ShadowKey, QImage> cache;
    const int r = boxRadius(shadowRadius);
    const int pad = 3 * r;
    const ShadowKey key{radius, r, color.rgba()};
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    const int core = 2 * radius + 1;
    const int size = core + 2 * pad;
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(pad, pad, core, core), radius, radius);
    }
    for (int i = 0; i < 3; ++i)
        boxBlurAlpha(img, r);
    // Colour the alpha mask.
    {
        QPainter p(&img);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(img.rect(), QColor(color.red(), color.green(), color.blue()));
    }
    if (color.alphaF() < 1.0) {
        QImage faded(img.size(), QImage::Format_ARGB32_Premultiplied);
        faded.fill(Qt::transparent);
        QPainter p(&faded);
        p.setOpacity(color.alphaF());
        p.drawImage(0, 0, img);
        p.end();
        img = faded;
    }
    return *cache.insert(key, img);
}

} // namespace

QMarginsF shadowMargins(const AppTheme::ShadowSpec& s)
{
    const qreal reach = blurReach(s.radius);
    return QMarginsF(std::max(0.0, reach - s.dx), std::max(0.0, reach - s.dy), std::max(0.0, reach + s.dx),
                     std::max(0.0, reach + s.dy));
}

void paintShadow(QPainter& p, const QRectF& shape, qreal cornerRadius, const AppTheme::ShadowSpec& s)
{
    if (!s.color.isValid() || s.color.alpha() == 0 || shape.isEmpty())
        return;
    // Whole-pixel corner radius no larger than half the shorter side, so that the corner
    // slices never overlap (an overlap would show as a darker seam).
    const int radius =
        static_cast<int>(std::floor(std::min(cornerRadius, std::min(shape.width(), shape.height()) / 2)));
    const QImage& tile = shadowTile(radius, s.radius, s.color);
    const int pad = blurReach(s.radius);
    const QRectF target = shape.translated(s.dx, s.dy).adjusted(-pad, -pad, pad, pad);
    const qreal c = radius + pad; // corner slice size
    const qreal ts = tile.width();

    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const qreal xs[4] = {target.left(), target.left() + c, target.right() - c, target.right()};
    const qreal ys[4] = {target.top(), target.top() + c, target.bottom() - c, target.bottom()};
    const qreal sx[4] = {0, c, c + 1, ts};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRectF dst(QPointF(xs[col], ys[row]), QPointF(xs[col + 1], ys[row + 1]));
            if (dst.width() <= 0 || dst.height() <= 0)
                continue;
            const QRectF src(QPointF(sx[col], sx[row]), QPointF(sx[col + 1], sx[row + 1]));
            p.drawImage(dst, tile, src);
        }
    }
    p.restore();
}

void paintCard(QPainter& p, const CardStyle& s)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (s.shadow)
        paintShadow(p, s.rect, s.cornerRadius, *s.shadow);
    const qreal inset = s.border.isValid() ? s.borderWidth / 2 : 0;
    const QRectF r = s.rect.adjusted(inset, inset, -inset, -inset);
    p.setBrush(s.fill);
    if (s.border.isValid() && s.borderWidth > 0)
        p.setPen(QPen(s.border, s.borderWidth));
    else
        p.setPen(Qt::NoPen);
    p.drawRoundedRect(r, std::max(0.0, s.cornerRadius - inset), std::max(0.0, s.cornerRadius - inset));
    p.restore();
}

void paintCapsule(QPainter& p, const QRectF& rect, const QColor& fill, const QColor& border,
                  qreal borderWidth)
{
    CardStyle s;
    s.rect = rect;
    s.cornerRadius = rect.height() / 2;
    s.fill = fill;
    s.border = border;
    s.borderWidth = borderWidth;
    paintCard(p, s);
}

void paintBubble(QPainter& p, const QRectF& rect, const QColor& fill, const QColor& border)
{
    CardStyle s;
    s.rect = rect;
    s.cornerRadius = AppTheme::Radius::bubble;
    s.fill = fill;
    s.border = border;
    paintCard(p, s);
}

void paintGradientText(QPainter& p, const QRectF& rect, const QFont& font, const QString& text, int flags)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font);
    const QRectF bounds = QFontMetricsF(font).boundingRect(rect, flags, text);
    p.setPen(QPen(QBrush(AppTheme::brandGradient(bounds)), 1));
    p.drawText(rect, flags, text);
    p.restore();
}

void paintFocusRing(QPainter& p, const QRectF& shape, qreal cornerRadius)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(AppTheme::withOpacity(AppTheme::primaryAccent(), 0.55), 2));
    const QRectF r = shape.adjusted(1, 1, -1, -1);
    p.drawRoundedRect(r, std::max(0.0, cornerRadius - 1), std::max(0.0, cornerRadius - 1));
    p.restore();
}

} // namespace painting
