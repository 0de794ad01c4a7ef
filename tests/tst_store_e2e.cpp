// End to end: the store with the real launcher starts the stand-in core of this
// repository, reaches "运行中" with state and messages loaded, and its teardown leaves
// no core process behind. The core listens on a free port (MSGRELAY_PORT, passed through
// the launcher's inherited environment); the client points there.
#include "core/CoreService.h"
#include "store/BridgeStore.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <QCoroTask>

#include <csignal>
#include <sys/types.h>

namespace {
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool processAlive(qint64 pid)
{
    // A zombie still accepts signal 0; look at /proc for a live state instead.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) != "Z";
}
} // namespace

class TestStoreEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void startsTheStandInCoreAndStopsIt()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const quint16 port = freePort();

        CoreEnvironment env;
        env.homeDirectory = home.path();
        env.currentDirectory = home.path();
        env.applicationDirectory = home.path();
        env.environment = QProcessEnvironment::systemEnvironment();
        env.environment.insert(QStringLiteral("QUILLMERE_PROJECT_DIR"), QStringLiteral(RAZO_SOURCE_DIR));
        env.environment.insert(QStringLiteral("MSGRELAY_PORT"), QString::number(port));
        env.environment.insert(QStringLiteral("MSGRELAY_HOST"), QStringLiteral("127.0.0.1"));
        auto launcher = std::make_unique<CoreService>(env);
        CoreService* core = launcher.get();

        StoreTiming timing;
        timing.pollInterval = std::chrono::milliseconds(100); // up to 40 × 100 ms for Python to come up
        ApiTimeouts timeouts;
        timeouts.retryPause = std::chrono::milliseconds(20);
        QUrl base(QStringLiteral("http://127.0.0.1"));
        base.setPort(port);
        auto store = std::make_unique<BridgeStore>(BridgeAPI(base, timeouts), std::move(launcher), timing);

        QCoro::waitFor(store->start());

        QCOMPARE(store->serviceStatus(), QStringLiteral("运行中"));
        QVERIFY2(store->lastError().isEmpty(), qPrintable(store->lastError()));
        QVERIFY(store->state().has_value());
        QVERIFY(store->state()->summary.has_value());
        QVERIFY(!store->events().isEmpty());
        QVERIFY(core->processId().has_value());
        const qint64 pid = *core->processId();
        QVERIFY(processAlive(pid));

        // The core wrote its log where the launcher put it.
        const QString log = home.path() + QStringLiteral("/Library/Application Support/Quillmere/native-core.log");
        QTRY_VERIFY(QFileInfo(log).size() > 0);

        store.reset(); // teardown: timer, then core stop
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(pid), 10000);
    }
};

QTEST_GUILESS_MAIN(TestStoreEndToEnd)
#include "tst_store_e2e.moc"
