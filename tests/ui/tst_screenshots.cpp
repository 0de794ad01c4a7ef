// End to end, in process: the stand-in core on a free port, the real main window over a
// store whose client points there, and the screenshot routine behind `razo --screenshot`.
#include "AwaitTask.h"

#include "store/BridgeStore.h"
#include "ui/common/AppAppearance.h"
#include "ui/common/MainWindow.h"
#include "ui/common/ScreenshotRenderer.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The store must not launch anything here: the test runs the core itself.
class NoLauncher : public CoreLauncher
{
public:
    std::optional<CoreServiceError> start() override
    {
        ++launches;
        return std::nullopt;
    }
    void stop() override {}
    static inline int launches = 0;
};

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

// Distinct colours on a coarse grid: a blank or one-colour image has one or two.
int colourVariety(const QImage& img)
{
    QSet<QRgb> seen;
    for (int y = 0; y < img.height(); y += 7)
        for (int x = 0; x < img.width(); x += 7)
            seen.insert(img.pixel(x, y));
    return int(seen.size());
}

} // namespace

class TestScreenshots : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QProcess m_core;
    quint16 m_port = 0;

private slots:
    void initTestCase()
    {
        appearance::apply(*qApp);
        QVERIFY(m_tmp.isValid());
        m_port = freePort();
        QVERIFY(m_port != 0);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PYTHONPATH"), QStringLiteral(RAZO_SOURCE_DIR));
        env.insert(QStringLiteral("MSGRELAY_PORT"), QString::number(m_port));
        m_core.setProcessEnvironment(env);
        m_core.setWorkingDirectory(QStringLiteral(RAZO_SOURCE_DIR));
        m_core.setProcessChannelMode(QProcess::MergedChannels);
        m_core.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("msgrelay.cli"),
                      QStringLiteral("--config"), m_tmp.filePath(QStringLiteral("c.json")),
                      QStringLiteral("desktop"), QStringLiteral("--host"), QStringLiteral("127.0.0.1"),
                      QStringLiteral("--port"), QStringLiteral("8765"), QStringLiteral("--no-browser"),
                      QStringLiteral("--no-native-window")});
        QVERIFY2(m_core.waitForStarted(5000), qPrintable(m_core.errorString()));
        // Wait until the core answers.
        BridgeAPI api(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port)));
        bool up = false;
        for (int i = 0; i < 100 && !up; ++i) {
            const auto r = razotest::awaitTask(api.authStatus(), std::chrono::seconds(3));
            up = r && r->ok() && r->value();
            if (!up)
                QTest::qWait(100);
        }
        QVERIFY2(up, m_core.readAll().constData());
    }

    void cleanupTestCase()
    {
        m_core.terminate();
        if (!m_core.waitForFinished(5000))
            m_core.kill();
    }

    void rendersFourSectionsWithData()
    {
        BridgeStore store(BridgeAPI(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port))),
                          std::make_unique<NoLauncher>(), StoreTiming{});
        MainWindow window(store);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString dir = m_tmp.filePath(QStringLiteral("shots"));
        const auto result = razotest::awaitTask(
            ScreenshotRenderer::run(window, store, dir, std::chrono::seconds(20)), std::chrono::seconds(40));
        QVERIFY(result.has_value());
        QVERIFY2(result->ok(), result->ok() ? "" : qPrintable(result->error()));

        // The core was reused, its data applied.
        QCOMPARE(NoLauncher::launches, 0);
        QVERIFY(store.state().has_value());
        QVERIFY(!store.events().isEmpty());
        QVERIFY(store.lastError().isEmpty());

        const QStringList paths = result->value();
        const QStringList names = {QStringLiteral("overview.png"), QStringLiteral("messages.png"),
                                   QStringLiteral("chat.png"), QStringLiteral("settings.png")};
        QCOMPARE(paths.size(), 4);
        QList<QImage> images;
        for (int i = 0; i < 4; ++i) {
            QVERIFY2(paths[i].endsWith(QLatin1Char('/') + names[i]), qPrintable(paths[i]));
            QImage img(paths[i]);
            QVERIFY2(!img.isNull(), qPrintable(paths[i]));
            QVERIFY(img.width() >= 1120 && img.height() >= 760);
            QVERIFY2(colourVariety(img) > 20, qPrintable(paths[i]));
            images << img;
        }
        // Each section renders its own page.
        for (int i = 1; i < 4; ++i)
            QVERIFY(images[i] != images[0]);
        // The selection is restored after rendering.
        QCOMPARE(store.selectedSection(), AppSection::Overview);
    }

    void unwritableDirectoryFailsWithAMessage()
    {
        BridgeStore store(BridgeAPI(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port))),
                          std::make_unique<NoLauncher>(), StoreTiming{});
        MainWindow window(store);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // A regular file where the directory should be.
        QFile blocker(m_tmp.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const auto result = ScreenshotRenderer::renderSections(window, store, blocker.fileName() + "/shots");
        QVERIFY(!result.ok());
        QVERIFY(result.error().contains(blocker.fileName()));
    }
};

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
