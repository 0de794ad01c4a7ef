// razo: the desktop workbench for the WeChat and WeCom messages of one person.
#include "CommandLine.h"
#include "QuitOnSignal.h"
#include "common/Logging.h"
#include "common/SingleInstance.h"
#include "store/BridgeStore.h"
#include "ui/common/AppAppearance.h"
#include "ui/common/MainWindow.h"
#include "ui/common/ScreenshotRenderer.h"
#include "ui/common/WindowPlacement.h"

#include <QApplication>
#include <QSettings>
#include <QTextStream>

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

// A later start asked for the window: out of the task bar, on top, focused. On Wayland the
// later start's activation token is what lets the compositor hand over the focus.
void bringToFront(QWidget& window, const QString& activationToken)
{
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toLatin1());
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
    qCInfo(lcApp) << "brought the window to the front"
                  << (activationToken.isEmpty() ? "(no activation token)" : "(activation token given)");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication::setApplicationName(QStringLiteral("razo"));
    QApplication::setApplicationVersion(QStringLiteral(RAZO_VERSION));

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine commandLine;
    if (const auto status = commandLine.process(arguments, false))
        return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("razo"));
    QApplication::setDesktopFileName(QStringLiteral(RAZO_APP_ID));
    if (commandLine.needsSecondReading()) {
        if (const auto status = commandLine.process(QApplication::arguments(), true))
            return *status;
    }
    const std::optional<QString> screenshotDir = commandLine.screenshotDirectory();
    const std::optional<qint64> messageToShow = commandLine.messageToShow();

    // One razo per user and display; --screenshot renders beside a running one.
    SingleInstance instance(SingleInstance::socketPathFor(QProcessEnvironment::systemEnvironment()));
    if (!screenshotDir) {
        const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
        switch (instance.claim(token, messageToShow)) {
        case SingleInstance::Outcome::HandedOver:
            return 0;
        case SingleInstance::Outcome::Unanswered:
            QTextStream(stderr)
                << "razo: razo is already running but does not answer; close it and start again.\n";
            return 1;
        case SingleInstance::Outcome::Unavailable:
            QTextStream(stderr) << "razo: cannot watch for a second start (" << instance.lastError()
                                << "); a second razo would open its own window.\n";
            break;
        case SingleInstance::Outcome::Primary:
            break;
        }
    }

    appearance::apply(app);

    // The one store of the process, shared by every window.
    BridgeStore store;
    QuitOnSignal quitOnSignal;
    MainWindow window(store);
    // razo's own settings hold where the window was and its section; a screenshot run neither
    // reads nor writes them and renders at the designed size, whatever the screen.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("razo"),
                       QStringLiteral("razo"));
    const WindowPlacement placement(settings);
    if (screenshotDir)
        window.resize(MainWindow::defaultSize());
    else
        placement.restore(window, store);
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     [&window](const QString& token) { bringToFront(window, token); });
    QObject::connect(&instance, &SingleInstance::messageRequested, &store,
                     [&store](qint64 id) { store.showMessage(id); });
    if (messageToShow)
        store.showMessage(*messageToShow);
    window.show();
    window.raise();
    window.activateWindow();

    if (screenshotDir)
        screenshotsThenQuit(window, store, *screenshotDir);

    const int status = app.exec();
    // The event loop has ended (last window closed, a termination signal, the session
    // ending). The core reads the chat clients and serves phones and agents on its own, so
    // it keeps running, and the next start-up finds and reuses it. A screenshot run is a
    // one-off: the store's teardown stops the core that it started.
    if (!screenshotDir) {
        placement.save(window, store);
        store.leaveCoreRunning();
    }
    return status;
}
