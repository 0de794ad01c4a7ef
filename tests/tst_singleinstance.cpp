// The hand-over between a running razo and a later start, over the real local socket.
// The later start's claim blocks, so it runs on a second thread while the first side's
// event loop serves it.
#include "common/SingleInstance.h"

#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <future>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;
using Outcome = SingleInstance::Outcome;

namespace {

constexpr int kWaitMs = 10000;
const SingleInstance::Timeouts kShort{200ms, 300ms, 300ms};

// A bound socket file with nobody behind it: what a razo that crashed leaves.
// With `listening`, something accepts connections into its backlog but never answers.
int bindRawSocket(const QString& path, bool listening)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listening && ::listen(fd, 4) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The later start, on its own thread; this thread's event loop serves it meanwhile.
Outcome claimOnThread(const QString& path, const QString& token, std::optional<qint64> message = std::nullopt)
{
    auto future = std::async(std::launch::async, [path, token, message] {
        SingleInstance later(path, kShort);
        return later.claim(token, message);
    });
    (void)QTest::qWaitFor([&] { return future.wait_for(0ms) == std::future_status::ready; }, kWaitMs);
    return future.get();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void cleanup() { QFile::remove(path()); }

    void laterStartHandsOverWithItsToken_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("delivered");
        QTest::addColumn<qint64>("message"); // 0: none
        QTest::newRow("no token") << QString() << QString() << qint64(0);
        QTest::newRow("activation token") << "kwin-4711_TIME123"
                                          << "kwin-4711_TIME123" << qint64(0);
        QTest::newRow("token and message") << "kwin-4711_TIME123"
                                           << "kwin-4711_TIME123" << qint64(9007199254740993);
        QTest::newRow("message alone") << QString() << QString() << qint64(42);
    }
    void laterStartHandsOverWithItsToken()
    {
        QFETCH(QString, token);
        QFETCH(QString, delivered);
        QFETCH(qint64, message);
        SingleInstance first(path(), kShort);
        QCOMPARE(first.claim({}), Outcome::Primary);
        QSignalSpy asked(&first, &SingleInstance::activationRequested);
        QSignalSpy shown(&first, &SingleInstance::messageRequested);

        QCOMPARE(claimOnThread(path(), token, message ? std::optional(message) : std::nullopt),
                 Outcome::HandedOver);
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 1, kWaitMs);
        QCOMPARE(asked.at(0).at(0).toString(), delivered);
        QCOMPARE(shown.size(), message ? 1 : 0);
        if (message)
            QCOMPARE(shown.at(0).at(0).toLongLong(), message);

        // The first keeps serving: a third start is handed over too.
        QCOMPARE(claimOnThread(path(), {}), Outcome::HandedOver);
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 2, kWaitMs);
    }

    void staleSocketFileIsReplaced()
    {
        const int fd = bindRawSocket(path(), false);
        QVERIFY(fd >= 0);
        ::close(fd); // the file stays, nobody listens
        QVERIFY(QFile::exists(path()));

        SingleInstance next(path(), kShort);
        QCOMPARE(next.claim({}), Outcome::Primary);
        QCOMPARE(claimOnThread(path(), {}), Outcome::HandedOver);
    }

    void silentListenerIsNotTakenOver()
    {
        const int fd = bindRawSocket(path(), true);
        QVERIFY(fd >= 0);
        SingleInstance later(path(), kShort);
        QCOMPARE(later.claim({}), Outcome::Unanswered);
        ::close(fd);
    }

    void firstSideDropsNonsense_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("unknown verb") << QByteArray("quit\n");
        QTest::newRow("no line end within the limit") << QByteArray(5000, 'a');
    }
    void firstSideDropsNonsense()
    {
        QFETCH(QByteArray, request);
        SingleInstance first(path(), kShort);
        QCOMPARE(first.claim({}), Outcome::Primary);
        QSignalSpy asked(&first, &SingleInstance::activationRequested);
        QLocalSocket peer;
        peer.connectToServer(path());
        QVERIFY(peer.waitForConnected(kWaitMs));
        QSignalSpy gone(&peer, &QLocalSocket::disconnected);
        peer.write(request);
        QVERIFY(gone.wait(kWaitMs));
        QCOMPARE(peer.readAll(), QByteArray());
        QCOMPARE(asked.size(), 0);
    }

    void socketNamedPerDisplay_data()
    {
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<QString>("x11");
        QTest::addColumn<QString>("file");
        QTest::newRow("wayland wins") << "wayland-0"
                                      << ":1"
                                      << "razo-wayland-0.socket";
        QTest::newRow("x11 screen ignored") << ""
                                            << "localhost:10.0"
                                            << "razo-localhost_10.socket";
        QTest::newRow("no display") << ""
                                    << ""
                                    << "razo-nodisplay.socket";
        QTest::newRow("path-like name") << "/run/wl/../x"
                                        << ""
                                        << "razo-_run_wl_.._x.socket";
    }
    void socketNamedPerDisplay()
    {
        QFETCH(QString, wayland);
        QFETCH(QString, x11);
        QFETCH(QString, file);
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), wayland);
        environment.insert(QStringLiteral("DISPLAY"), x11);
        QCOMPARE(SingleInstance::socketPathFor(environment), m_dir.filePath(file));
        // Without a runtime folder the user id keeps two users apart in the shared one.
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("missing")));
        environment.insert(QStringLiteral("TMPDIR"), m_dir.path());
        QCOMPARE(SingleInstance::socketPathFor(environment),
                 m_dir.filePath(file).replace(QStringLiteral("razo-"),
                                              QStringLiteral("razo-%1-").arg(::geteuid())));
    }

private:
    QString path() const { return m_dir.filePath(QStringLiteral("razo-test.socket")); }
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
