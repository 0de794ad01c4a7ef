// Soak: razo's store and main window on the offscreen platform against the stand-in core,
// which the real launcher starts with random faults on about a third of its requests
// (MSGRELAY_FAULTS="*=random:P", MSGRELAY_FAULT_SEED). Settings of this harness only: the
// refresh timer is shortened, and the client's time-outs are cut to 1 s so that some of the
// delays the core injects (up to 1.5 s) run into them. On the way it switches sections
// through the sidebar and asks the assistant through the chat view.
//
// It prints the resident memory, the open descriptors and the threads of this process at the
// start and every 1,000 refreshes (each sample taken while no request of razo is in flight),
// then a verdict: from the end of warm-up (the first 1,000 refreshes) to the end, RSS grows by
// at most 2 MB, and descriptors and threads end where they were. Exit status 0 when it holds.
//
//   soak_razo [--refreshes N] [--interval MS] [--share P] [--seed N] [--ask-every N]
//   (defaults 10000, 100, 0.33, 1, 250; --ask-every 0 asks nothing)
//   (scripts/soak.sh builds it and runs it niced; --asan under AddressSanitizer's leak check)
#include "core/CoreService.h"
#include "store/BridgeStore.h"
#include "ui/common/AppAppearance.h"
#include "ui/common/MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {

struct Options
{
    quint64 refreshes = 10'000;
    int intervalMs = 100;
    double share = 0.33; // of the core's requests that get a fault
    int seed = 1;
    int askEvery = 250; // refreshes between two questions to the assistant (0: none)
};

struct Sample
{
    quint64 refreshes = 0;
    double minutes = 0;
    long rssKb = 0;
    int fds = 0;
    int threads = 0;
    int errors = 0; // failures shown in lastError so far
};

long statusField(const QByteArray& name)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').first().toLong();
    }
    return -1;
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

std::optional<Options> parse(const QStringList& args)
{
    Options o;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        bool ok = false;
        const QString& value = args[i + 1];
        if (args[i] == u"--refreshes")
            o.refreshes = value.toULongLong(&ok);
        else if (args[i] == u"--interval")
            o.intervalMs = value.toInt(&ok);
        else if (args[i] == u"--share")
            o.share = value.toDouble(&ok);
        else if (args[i] == u"--seed")
            o.seed = value.toInt(&ok);
        else if (args[i] == u"--ask-every")
            o.askEvery = value.toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    if (args.size() % 2 == 0 || o.refreshes < 2000 || o.refreshes % 1000 != 0 || o.intervalMs < 1 ||
        o.askEvery < 0 || o.share < 0 || o.share > 1)
        return std::nullopt;
    return o;
}

// The stand-in core of this checkout, started by razo's own launcher on a free port with a
// home of its own and random faults.
std::unique_ptr<CoreService> makeLauncher(const QString& home, quint16 port, const Options& o)
{
    CoreEnvironment env;
    env.homeDirectory = home;
    env.currentDirectory = home;
    env.applicationDirectory = home;
    env.environment = QProcessEnvironment::systemEnvironment();
    env.environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); // never this desktop's notifications
    env.environment.insert(QStringLiteral("QUILLMERE_PROJECT_DIR"), QStringLiteral(RAZO_SOURCE_DIR));
    env.environment.insert(QStringLiteral("MSGRELAY_PORT"), QString::number(port));
    env.environment.insert(QStringLiteral("MSGRELAY_HOST"), QStringLiteral("127.0.0.1"));
    env.environment.insert(QStringLiteral("MSGRELAY_FAULTS"), QStringLiteral("*=random:%1").arg(o.share));
    env.environment.insert(QStringLiteral("MSGRELAY_FAULT_SEED"), QString::number(o.seed));
    env.environment.insert(QStringLiteral("MSGRELAY_AI_LOOPBACK_ONLY"), QStringLiteral("1"));
    return std::make_unique<CoreService>(env);
}

class Soak : public QObject
{
public:
    Soak(const Options& options, BridgeStore& store, MainWindow& window)
        : m_options(options), m_store(store), m_window(window)
    {
        connect(&store, &BridgeStore::lastErrorChanged, this, [this] {
            if (!m_store.lastError().isEmpty())
                ++m_errors;
        });
        m_ticker.setInterval(10);
        connect(&m_ticker, &QTimer::timeout, this, &Soak::tick);
    }

    // Runs until the last refresh; returns the exit status.
    int run()
    {
        std::printf("soak: %llu refreshes every %d ms, faults on %.0f %% of the core's requests (seed %d)\n",
                    static_cast<unsigned long long>(m_options.refreshes), m_options.intervalMs,
                    m_options.share * 100, m_options.seed);
        std::printf("%10s %8s %10s %6s %8s %8s\n", "refreshes", "minutes", "RSS kB", "fds", "threads",
                    "errors");
        std::fflush(stdout);
        m_clock.start();
        m_samples << measure();
        print(m_samples.last());
        m_window.show(); // runs the store's start-up; its refresh timer then drives everything
        m_ticker.start();
        QApplication::exec();
        return verdict();
    }

private:
    void tick()
    {
        const quint64 done = m_store.refreshesStarted();
        if (done >= m_nextAct) {
            act(done);
            m_nextAct = done + 10;
        }
        if (done < m_nextSample)
            return;
        if (!isQuiet() && !m_quietWait.hasExpired())
            return; // wait (bounded) for a moment without requests in flight
        m_samples << measure();
        print(m_samples.last());
        m_nextSample += 1000;
        m_quietWait = QDeadlineTimer(5000);
        if (done >= m_options.refreshes) {
            m_ticker.stop();
            drain();
        }
    }

    // Stops the refresh timer and lets every request in flight end (each is bounded by the
    // client's time-outs) before the window closes: a coroutine left waiting on a reply when
    // the event loop ends would stay allocated and show up in the leak check as ours.
    void drain()
    {
        for (QTimer* timer : m_store.findChildren<QTimer*>()) {
            if (timer->interval() == m_options.intervalMs)
                timer->stop();
        }
        auto* poll = new QTimer(this);
        const QDeadlineTimer settled(3000), bound(15000);
        connect(poll, &QTimer::timeout, this, [this, settled, bound] {
            if ((settled.hasExpired() && isQuiet()) || bound.hasExpired())
                m_window.close(); // the last window: the event loop ends
        });
        poll->start(50);
    }

    // Every 10 refreshes the next section; every askEvery (250) a question to the assistant.
    void act(quint64 done)
    {
        static const char* const sections[] = {"nav_overview", "nav_messages", "nav_chat", "nav_settings"};
        const quint64 every = quint64(m_options.askEvery);
        if (every > 0 && done % every < 10 && !m_store.isSending()) {
            click("nav_chat");
            static const QStringList questions = {
                QStringLiteral("今天先处理什么"), QStringLiteral("最近企业微信有什么消息"),
                QStringLiteral("哪些消息需要跟进"), QStringLiteral("明天有什么会")};
            if (auto* input = m_window.findChild<QPlainTextEdit*>(QStringLiteral("chatInput")))
                input->setPlainText(questions[int(done / every) % questions.size()]);
            click("chatSendButton");
            return;
        }
        click(sections[m_section++ % 4]);
    }

    void click(const char* name)
    {
        if (auto* button = m_window.findChild<QAbstractButton*>(QLatin1String(name)))
            button->click();
    }

    bool isQuiet() const
    {
        return !m_store.isRefreshing() && !m_store.isSending() && !m_store.isSyncingWebsiteBridge();
    }

    Sample measure() const
    {
        return {m_store.refreshesStarted(), m_clock.elapsed() / 60000.0, statusField("VmRSS"),
                openDescriptors(),          int(statusField("Threads")), m_errors};
    }

    static void print(const Sample& s)
    {
        std::printf("%10llu %8.1f %10ld %6d %8d %8d\n", static_cast<unsigned long long>(s.refreshes),
                    s.minutes, s.rssKb, s.fds, s.threads, s.errors);
        std::fflush(stdout);
    }

    int verdict() const
    {
        if (m_samples.size() < 3) {
            std::printf("soak: ended before warm-up was over\n");
            return 1;
        }
        const Sample& warm = m_samples[1];
        const Sample& end = m_samples.last();
        const long growth = end.rssKb - warm.rssKb;
#if defined(__SANITIZE_ADDRESS__)
        const bool rssJudged = false; // AddressSanitizer keeps freed memory in quarantine
#else
        const bool rssJudged = true;
#endif
        const bool ok = (!rssJudged || growth <= 2048) && end.fds <= warm.fds && end.threads <= warm.threads;
        std::printf(
            "soak: after warm-up RSS %+ld kB (goal <= 2048%s), descriptors %d -> %d, threads %d -> %d, "
            "%d failures shown, status %s: %s\n",
            growth, rssJudged ? "" : ", not judged under AddressSanitizer", warm.fds, end.fds, warm.threads,
            end.threads, end.errors, qPrintable(m_store.serviceStatus()), ok ? "PASS" : "FAIL");
        return ok ? 0 : 1;
    }

    Options m_options;
    BridgeStore& m_store;
    MainWindow& m_window;
    QTimer m_ticker;
    QElapsedTimer m_clock;
    QDeadlineTimer m_quietWait{5000};
    QList<Sample> m_samples;
    quint64 m_nextSample = 1000;
    quint64 m_nextAct = 1;
    int m_section = 0;
    int m_errors = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // a real window, on no display
    QApplication app(argc, argv);
    const auto options = parse(QApplication::arguments());
    if (!options) {
        std::fprintf(stderr, "usage: soak_razo [--refreshes N (thousands, >= 2000)] [--interval MS] [--share "
                             "P (0..1)] [--seed N] [--ask-every N]\n");
        return 2;
    }
    appearance::apply(app);
    QTemporaryDir home;
    const quint16 port = freePort();
    if (!home.isValid() || port == 0) {
        std::fprintf(stderr, "soak_razo: no temporary folder or free port\n");
        return 1;
    }
    QUrl base(QStringLiteral("http://127.0.0.1"));
    base.setPort(port);
    ApiTimeouts timeouts;
    timeouts.getTimeout = timeouts.postTimeout = std::chrono::seconds(1);
    StoreTiming timing;
    timing.refreshInterval = std::chrono::milliseconds(options->intervalMs);

    int status = 1;
    {
        BridgeStore store(BridgeAPI(base, timeouts), makeLauncher(home.path(), port, *options), timing);
        MainWindow window(store);
        Soak soak(*options, store, window);
        status = soak.run();
    } // the store's teardown stops the core it started
    // The stopped core's process object deletes itself once the core has exited, which only
    // the event loop sees: a few seconds of it, or the leak check counts that object as well.
    const QDeadlineTimer settle(3000);
    while (!settle.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(10);
    }
    return status;
}
