// Start-up cost of razo's window beside a bare Qt window built in the same tree.
//
// The bench starts the stand-in core once (on a free port), then launches itself as a child
// process several times in each of two modes:
//   razo  - appearance, store, MainWindow; ready at the first frame painted after the first
//           state and events were applied;
//   bare  - a QWidget with one QLabel; ready at its first painted frame.
// Each child prints "READY <peak RSS in kB>" at that moment; the parent measures the time
// from launching the child to that line. Both run on the offscreen platform. It prints the
// medians and the two ratios (razo / bare). With RAZO_BENCH_PHASES=1 a razo child also
// prints to stderr when each start-up phase ended (ms since main), for profiling:
//   QT_QPA_PLATFORM=offscreen RAZO_BENCH_PHASES=1 bench_startup --child razo http://127.0.0.1:PORT
// against a core listening on PORT.
#include "store/BridgeStore.h"
#include "ui/common/AppAppearance.h"
#include "ui/common/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

QElapsedTimer g_sinceMain;

// A phase mark on stderr when RAZO_BENCH_PHASES is set.
void phase(const char* what)
{
    static const bool on = qEnvironmentVariableIsSet("RAZO_BENCH_PHASES");
    if (on)
        std::fprintf(stderr, "%8.2f ms  %s\n", g_sinceMain.nsecsElapsed() / 1e6, what);
}

long peakRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Reports READY on the first paint of `w` after `armed` returns true.
class FirstFrame : public QObject
{
public:
    FirstFrame(QWidget* w, std::function<bool()> armed) : m_armed(std::move(armed))
    {
        w->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !m_done && m_armed()) {
            m_done = true;
            QTimer::singleShot(0, [] {
                phase("first frame with data painted");
                std::printf("READY %ld\n", peakRssKb());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(o, e);
    }

private:
    std::function<bool()> m_armed;
    bool m_done = false;
};

class NoLauncher : public CoreLauncher
{
public:
    std::optional<CoreServiceError> start() override { return std::nullopt; }
    void stop() override {}
};

int runBare(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget w;
    w.setMinimumSize(1120, 760);
    auto* label = new QLabel(QStringLiteral("razo"), &w);
    label->move(20, 20);
    FirstFrame probe(&w, [] { return true; });
    w.show();
    return app.exec();
}

int runRazo(int argc, char** argv, const QString& url)
{
    g_sinceMain.start();
    QApplication app(argc, argv);
    phase("QApplication");
    appearance::apply(app);
    phase("appearance");
    BridgeStore store(BridgeAPI(QUrl(url)), std::make_unique<NoLauncher>(), StoreTiming{});
    QObject::connect(&store, &BridgeStore::serviceStatusChanged, [] { phase("service status changed"); });
    QObject::connect(&store, &BridgeStore::stateChanged, [] { phase("state applied"); });
    QObject::connect(&store, &BridgeStore::eventsChanged, [] { phase("events applied"); });
    MainWindow w(store);
    phase("MainWindow built");
    bool hasData = false;
    // Armed once both the state and the events of the first refresh are in; the repaint
    // that follows is the first frame that shows them.
    QObject::connect(&store, &BridgeStore::isRefreshingChanged, &w, [&] {
        if (!store.isRefreshing() && store.state() && !store.events().isEmpty()) {
            hasData = true;
            w.update();
        }
    });
    FirstFrame probe(&w, [&] { return hasData; });
    w.show();
    phase("shown");
    return app.exec();
}

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

struct Sample
{
    double ms = 0;
    long rssKb = 0;
};

std::optional<Sample> launchChild(const QString& self, const QStringList& args)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    child.start(self, args);
    if (!child.waitForStarted(5000))
        return std::nullopt;
    QByteArray out;
    while (!out.contains("READY") && child.state() != QProcess::NotRunning) {
        child.waitForReadyRead(20000);
        out += child.readAllStandardOutput();
        if (clock.elapsed() > 30000)
            break;
    }
    const double ms = clock.nsecsElapsed() / 1e6;
    child.waitForFinished(5000);
    const int at = out.indexOf("READY");
    if (at < 0)
        return std::nullopt;
    return Sample{ms, out.mid(at + 6).trimmed().split('\n').first().toLong()};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && QByteArray(argv[1]) == "--child") {
        if (QByteArray(argv[2]) == "bare")
            return runBare(argc, argv);
        if (argc >= 4 && QByteArray(argv[2]) == "razo")
            return runRazo(argc, argv, QString::fromLocal8Bit(argv[3]));
        return 2;
    }

    QCoreApplication app(argc, argv);
    const int runs = argc >= 2 ? std::max(1, QByteArray(argv[1]).toInt()) : 7;
    QTemporaryDir tmp;
    const quint16 port = freePort();
    QProcess core;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONPATH"), QStringLiteral(RAZO_SOURCE_DIR));
    env.insert(QStringLiteral("MSGRELAY_PORT"), QString::number(port));
    core.setProcessEnvironment(env);
    core.setWorkingDirectory(QStringLiteral(RAZO_SOURCE_DIR));
    core.start(QStringLiteral("/usr/bin/python3"),
               {"-u", "-m", "msgrelay.cli", "--config", tmp.filePath("c.json"), "desktop", "--host",
                "127.0.0.1", "--port", "8765", "--no-browser", "--no-native-window"});
    if (!core.waitForStarted(5000)) {
        std::fprintf(stderr, "bench_startup: cannot start the stand-in core\n");
        return 1;
    }
    // Wait until the core answers.
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        QTcpSocket s; // a plain TCP connect is enough to know it listens
        s.connectToHost(QHostAddress::LocalHost, port);
        up = s.waitForConnected(200);
        if (!up)
            QThread::msleep(100);
    }
    if (!up) {
        std::fprintf(stderr, "bench_startup: the stand-in core does not answer\n");
        return 1;
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1").arg(port);
    const QString self = QCoreApplication::applicationFilePath();

    std::vector<double> razoMs, bareMs, razoRss, bareRss;
    // One warm-up of each (page cache), then alternate.
    launchChild(self, {"--child", "bare"});
    launchChild(self, {"--child", "razo", url});
    for (int i = 0; i < runs; ++i) {
        if (auto s = launchChild(self, {"--child", "bare"})) {
            bareMs.push_back(s->ms);
            bareRss.push_back(s->rssKb);
        }
        if (auto s = launchChild(self, {"--child", "razo", url})) {
            razoMs.push_back(s->ms);
            razoRss.push_back(s->rssKb);
        }
    }
    core.terminate();
    core.waitForFinished(3000);
    if (razoMs.empty() || bareMs.empty()) {
        std::fprintf(stderr, "bench_startup: a child did not report its first frame\n");
        return 1;
    }
    const double rm = median(razoMs), bm = median(bareMs), rr = median(razoRss), br = median(bareRss);
    std::printf("runs per mode           %d\n", runs);
    std::printf("bare window  first frame %8.1f ms   peak RSS %8.0f kB\n", bm, br);
    std::printf(
        "razo window  first frame %8.1f ms   peak RSS %8.0f kB   (with the core's state and events)\n", rm,
        rr);
    std::printf("ratio start-up  razo/bare %.2f   (goal <= 2.0)\n", rm / bm);
    std::printf("ratio peak RSS  razo/bare %.2f   (goal <= 1.5)\n", rr / br);
    return 0;
}
