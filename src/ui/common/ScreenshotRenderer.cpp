#include "ui/common/ScreenshotRenderer.h"

#include "common/Logging.h"
#include "store/BridgeStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <QCoroTimer>

namespace {

bool firstRefreshDone(const BridgeStore& store)
{
    return !store.isRefreshing() && (store.state().has_value() || !store.lastError().isEmpty());
}

// True when every pixel of the image has the same colour (nothing was drawn).
bool isBlank(const QImage& img)
{
    if (img.isNull())
        return true;
    const QRgb first = img.pixel(0, 0);
    for (int y = 0; y < img.height(); y += 3) {
        for (int x = 0; x < img.width(); x += 3) {
            if (img.pixel(x, y) != first)
                return false;
        }
    }
    return true;
}

} // namespace

QString ScreenshotRenderer::fileName(int sectionIndex)
{
    const QList<AppSection> all = appsection::all();
    if (sectionIndex < 0 || sectionIndex >= all.size())
        return {};
    return appsection::identifier(all[sectionIndex]) + QStringLiteral(".png");
}

QCoro::Task<bool> ScreenshotRenderer::waitForFirstRefresh(BridgeStore& store, std::chrono::milliseconds bound)
{
    QElapsedTimer clock;
    clock.start();
    while (!firstRefreshDone(store)) {
        if (clock.elapsed() >= bound.count())
            co_return false;
        co_await QCoro::sleepFor(std::chrono::milliseconds(25));
    }
    co_return true;
}

Result<QStringList, QString> ScreenshotRenderer::renderSections(QWidget& window, BridgeStore& store,
                                                                const QString& dir)
{
    if (!QDir().mkpath(dir))
        return QStringLiteral("无法创建截图目录：%1").arg(dir);
    if (!window.isVisible())
        window.show();
    const AppSection before = store.selectedSection();
    QStringList written;
    const QList<AppSection> all = appsection::all();
    for (int i = 0; i < all.size(); ++i) {
        store.setSelectedSection(all[i]);
        // Let the new section lay itself out and paint once before grabbing.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        const QImage img = window.grab().toImage();
        if (isBlank(img)) {
            store.setSelectedSection(before);
            return QStringLiteral("窗口没有画出内容（%1）").arg(appsection::identifier(all[i]));
        }
        const QString path = QDir(dir).absoluteFilePath(fileName(i));
        if (!img.save(path, "PNG")) {
            store.setSelectedSection(before);
            return QStringLiteral("无法写入截图：%1").arg(path);
        }
        qCInfo(lcUi) << "screenshot" << path << img.size();
        written << path;
    }
    store.setSelectedSection(before);
    return written;
}

QCoro::Task<Result<QStringList, QString>>
ScreenshotRenderer::run(QWidget& window, BridgeStore& store, QString dir, std::chrono::milliseconds bound)
{
    const bool inTime = co_await waitForFirstRefresh(store, bound);
    if (!inTime)
        qCWarning(lcUi) << "first refresh did not finish in" << bound.count()
                        << "ms; rendering what is there";
    co_return renderSections(window, store, dir);
}
