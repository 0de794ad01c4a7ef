#include "ui/common/SymbolIcons.h"

#include <QFile>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <cmath>

static void initRazoResources()
{
    // The icons live in the static razoui library; make sure its resources are registered.
    static const bool done = [] {
        Q_INIT_RESOURCE(razo);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

struct SymbolEntry
{
    const char* symbol; // platform symbol name used by the views
    const char* file;   // bundled SVG under :/razo/symbols/
};

// The one mapping table.
constexpr SymbolEntry kSymbols[] = {
    {"house.fill", "house.fill"},
    {"tray.full", "tray.full"},
    {"tray", "tray"},
    {"sparkles", "sparkles"},
    {"gearshape", "gearshape"},
    {"arrow.clockwise", "arrow.clockwise"},
    {"folder", "folder"},
    {"checkmark.circle.fill", "checkmark.circle.fill"},
    {"checkmark.circle", "checkmark.circle"},
    {"checkmark", "checkmark"},
    {"exclamationmark.triangle.fill", "exclamationmark.triangle.fill"},
    {"xmark.octagon.fill", "xmark.octagon.fill"},
    {"questionmark.circle.fill", "questionmark.circle.fill"},
    {"pause.circle.fill", "pause.circle.fill"},
    {"magnifyingglass", "magnifyingglass"},
    {"slider.horizontal.3", "slider.horizontal.3"},
    {"chevron.right", "chevron.right"},
    {"ellipsis", "ellipsis"},
    {"paperplane.fill", "paperplane.fill"},
    {"list.bullet.rectangle", "list.bullet.rectangle"},
    {"arrow.turn.down.right", "arrow.turn.down.right"},
    {"arrow.triangle.2.circlepath.circle", "arrow.triangle.2.circlepath.circle"},
    {"icloud.and.arrow.up", "icloud.and.arrow.up"},
    {"doc.on.doc", "doc.on.doc"},
};

// The two layers of an icon: the glyph and the optional knock-out drawn through it
// (for the ".fill" symbols whose inner mark shows the background).
struct SymbolLayers
{
    QByteArray glyph;
    QByteArray cut;
};

const SymbolLayers* layersFor(const QString& path)
{
    static QHash<QString, SymbolLayers> cache;
    auto it = cache.find(path);
    if (it != cache.end())
        return &*it;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return nullptr;
    const QString svg = QString::fromUtf8(f.readAll());
    static const QRegularExpression cutGroup(QStringLiteral("<g id=\"cut\">.*?</g>"),
                                             QRegularExpression::DotMatchesEverythingOption |
                                                 QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression glyphGroup(QStringLiteral("<g id=\"glyph\">.*?</g>"),
                                               QRegularExpression::DotMatchesEverythingOption |
                                                   QRegularExpression::UseUnicodePropertiesOption);
    SymbolLayers layers;
    QString glyphOnly = svg;
    glyphOnly.remove(cutGroup);
    layers.glyph = glyphOnly.toUtf8();
    if (cutGroup.match(svg).hasMatch()) {
        QString cutOnly = svg;
        cutOnly.remove(glyphGroup);
        layers.cut = cutOnly.toUtf8();
    }
    return &*cache.insert(path, layers);
}

} // namespace

QStringList SymbolIcons::names()
{
    QStringList out;
    for (const auto& e : kSymbols)
        out << QString::fromLatin1(e.symbol);
    return out;
}

bool SymbolIcons::has(const QString& symbolName)
{
    return !resourcePath(symbolName).isEmpty();
}

QString SymbolIcons::resourcePath(const QString& symbolName)
{
    for (const auto& e : kSymbols) {
        if (symbolName == QLatin1String(e.symbol))
            return QStringLiteral(":/razo/symbols/%1.svg").arg(QLatin1String(e.file));
    }
    return {};
}

QPixmap SymbolIcons::pixmap(const QString& symbolName, int size, const QColor& tint, qreal dpr)
{
    initRazoResources();
    const QString path = resourcePath(symbolName);
    if (path.isEmpty() || size <= 0)
        return {};
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1|%2|%3|%4").arg(symbolName).arg(size).arg(tint.rgba()).arg(dpr);
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    const SymbolLayers* layers = layersFor(path);
    if (!layers)
        return {};
    const int px = std::max(1, static_cast<int>(std::lround(size * dpr)));
    QImage img(px, px, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QSvgRenderer glyph(layers->glyph);
        glyph.render(&p, QRectF(0, 0, px, px));
        if (!layers->cut.isEmpty()) {
            p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            QSvgRenderer cut(layers->cut);
            cut.render(&p, QRectF(0, 0, px, px));
        }
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(img.rect(), tint);
    }
    QPixmap pm = QPixmap::fromImage(img);
    pm.setDevicePixelRatio(dpr);
    if (cache.size() > 512)
        cache.clear();
    cache.insert(key, pm);
    return pm;
}

void SymbolIcons::paint(QPainter& p, const QRectF& rect, const QString& symbolName, const QColor& tint)
{
    const qreal side = std::min(rect.width(), rect.height());
    if (side <= 0)
        return;
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QPixmap pm = pixmap(symbolName, static_cast<int>(std::lround(side)), tint, dpr);
    if (pm.isNull())
        return;
    const QRectF target(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(target, pm, QRectF(pm.rect()));
    p.restore();
}

QIcon SymbolIcons::icon(const QString& symbolName, const QColor& tint, int size)
{
    QIcon icon;
    for (qreal dpr : {1.0, 2.0}) {
        const QPixmap pm = pixmap(symbolName, size, tint, dpr);
        if (!pm.isNull())
            icon.addPixmap(pm);
    }
    return icon;
}
