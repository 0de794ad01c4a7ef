// End to end: a WeChat desktop notification on a private session bus reaches razo's timeline.
// tests/support/notification_bus.py runs the bus (dbus-daemon with its own configuration) and a
// stand-in notification server, and sends notifications on request; the store starts the
// repository's core on that bus through the real launcher. Skipped without dbus-daemon or
// python3-jeepney.
#include "core/CoreService.h"
#include "store/BridgeStore.h"
#include "ui/messages/logic/EventListModel.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <QCoroTask>

#include <functional>

namespace {
constexpr int kSkipExitCode = 77;

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// One line from the helper, or an empty string when none came within the time-out.
QString readLine(QProcess& helper, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!helper.canReadLine() && !deadline.hasExpired() && helper.state() == QProcess::Running)
        helper.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1)));
    return QString::fromUtf8(helper.readLine()).trimmed();
}

// Refreshes the store until `done` holds or the time is up.
bool refreshUntil(BridgeStore& store, const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (true) {
        QCoro::waitFor(store.refreshAll());
        if (done())
            return true;
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
}

QString setupStatus(const BridgeStore& store, const QString& key)
{
    if (!store.state() || !store.state()->setup || !store.state()->setup->items)
        return {};
    for (const SetupItemSnapshot& item : *store.state()->setup->items)
        if (item.key == key)
            return item.status.value_or(QString());
    return {};
}
} // namespace

class TestCaptureEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void capturedWeChatMessageReachesTheTimeline()
    {
        QProcess helper;
        helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        helper.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(RAZO_SOURCE_DIR "/tests/support/notification_bus.py")});
        QVERIFY2(helper.waitForStarted(10000), qPrintable(helper.errorString()));
        const QString address = readLine(helper, 15000);
        if (address.startsWith(QStringLiteral("SKIP")) || helper.exitCode() == kSkipExitCode) {
            helper.waitForFinished(5000);
            QSKIP(qPrintable(address));
        }
        QVERIFY2(address.startsWith(QStringLiteral("unix:")), qPrintable(address));

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
        env.environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);

        StoreTiming timing;
        timing.pollInterval = std::chrono::milliseconds(100);
        ApiTimeouts timeouts;
        timeouts.retryPause = std::chrono::milliseconds(20);
        QUrl base(QStringLiteral("http://127.0.0.1"));
        base.setPort(port);
        auto store = std::make_unique<BridgeStore>(BridgeAPI(base, timeouts),
                                                   std::make_unique<CoreService>(env), timing);
        QCoro::waitFor(store->start());
        QCOMPARE(store->serviceStatus(), QStringLiteral("运行中"));
        QVERIFY(!store->events().isEmpty()); // the marked demo data, until a real message arrives

        // The core watches the bus once its checklist says so; then WeChat posts a message.
        QVERIFY(refreshUntil(
            *store, [&] { return setupStatus(*store, QStringLiteral("message_capture")) == "ready"; },
            10000));
        helper.write(QStringLiteral("[\"notify\", \"微信\", \"项目群\", \"张三: 明天交周报\"]\n").toUtf8());
        QCOMPARE(readLine(helper, 10000), QStringLiteral("sent"));
        // State and messages are read concurrently, so one refresh may see the message in one
        // reply and not yet in the other: wait until both have it.
        QVERIFY(refreshUntil(
            *store,
            [&] {
                return store->events().size() == 1 && store->state() && store->state()->summary
                       && store->state()->summary->totalMessages == 1;
            },
            10000));

        EventListModel timeline;
        timeline.setEvents(store->events());
        QCOMPARE(timeline.rowCount(), 1);
        const QModelIndex row = timeline.index(0);
        QCOMPARE(row.data(EventListModel::BadgeRole).toString(), QStringLiteral("微信"));
        QCOMPARE(row.data(EventListModel::SessionRole).toString(), QStringLiteral("项目群"));
        QCOMPARE(row.data(EventListModel::SenderRole).toString(), QStringLiteral("张三"));
        QCOMPARE(row.data(EventListModel::MessageRole).toString(), QStringLiteral("明天交周报"));
        QCOMPARE(store->state()->summary->totalMessages, 1);

        store.reset(); // stops the core it started
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished(10000));
        QCOMPARE(helper.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCaptureEndToEnd)
#include "tst_capture_e2e.moc"
