// razo: the desktop workbench for the WeChat and WeCom messages of one person.
#include "QuitOnSignal.h"
#include "store/BridgeStore.h"
#include "ui/common/AppAppearance.h"
#include "ui/common/MainWindow.h"
#include "ui/common/ScreenshotRenderer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>
#include <cstdio>

namespace {

// Waits for the first refresh (bounded), renders the four sections, quits with the outcome.
QCoro::Task<> screenshotsThenQuit(MainWindow& window, BridgeStore& store, QString dir)
{
    const auto result = co_await ScreenshotRenderer::run(window, store, dir, std::chrono::seconds(30));
    if (result.ok()) {
        QTextStream out(stdout);
        for (const QString& path : result.value())
            out << path << '\n';
        out.flush();
        QCoreApplication::exit(0);
    } else {
        QTextStream(stderr) << "razo: screenshots failed: " << result.error() << '\n';
        QCoreApplication::exit(1);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("razo"));
    QApplication::setApplicationDisplayName(QStringLiteral("razo"));
    QApplication::setDesktopFileName(QStringLiteral("razo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("razo — 本地消息工作台"));
    parser.addHelpOption();
    QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Render the four sections into DIR as PNG files, then exit."), QStringLiteral("DIR"));
    parser.addOption(screenshot);
    parser.process(app);

    appearance::apply(app);

    // The one store of the process, shared by every window.
    BridgeStore store;
    QuitOnSignal quitOnSignal;
    MainWindow window(store);
    window.show();
    window.raise();
    window.activateWindow();

    const bool screenshots = parser.isSet(screenshot);
    if (screenshots)
        screenshotsThenQuit(window, store, parser.value(screenshot));

    const int status = app.exec();
    // The event loop has ended (last window closed, a termination signal, the session
    // ending). The core reads the chat clients and serves phones and agents on its own, so
    // it keeps running, and the next start-up finds and reuses it. A screenshot run is a
    // one-off: the store's teardown stops the core that it started.
    if (!screenshots)
        store.leaveCoreRunning();
    return status;
}
