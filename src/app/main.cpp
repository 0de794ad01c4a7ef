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

    // The one store of the process, shared by every window. Its teardown, when the event
    // loop ends (last window closed, or a termination signal), stops the core it started.
    BridgeStore store;
    QuitOnSignal quitOnSignal;
    MainWindow window(store);
    window.show();
    window.raise();
    window.activateWindow();

    if (parser.isSet(screenshot))
        screenshotsThenQuit(window, store, parser.value(screenshot));

    return app.exec();
}
