#include "FakeCoreSandbox.h"
#include "FakeHttpServer.h"
#include "core/CoreService.h"
#include "core/PortOwner.h"
#include "store/BridgeStore.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kWaitMs = 20000; // generous: the machine is shared; QTRY_* returns as soon as it holds
}

class TestCoreService : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void resolveProjectRoot_data();
    void resolveProjectRoot();

    void launchForm_data();
    void launchForm();

    void logAppendsAcrossLaunches_data();
    void logAppendsAcrossLaunches();

    void secondStartWhileRunningIsNoOp();
    void stopWithoutChildIsHarmless();
    void stopTerminatesWithoutWaiting();
    void stopDoesNotEscalate();
    void destructorTerminatesChild();
    void storeTeardownStopsOrLeavesTheCore_data();
    void storeTeardownStopsOrLeavesTheCore();

    void logPreparationFailureLaunchesNothing_data();
    void logPreparationFailureLaunchesNothing();

    void launchFailureKeepsFields_data();
    void launchFailureKeepsFields();

    void ownCoreCheck_data();
    void ownCoreCheck();

private:
    std::unique_ptr<FakeCoreSandbox> m_box;
    QList<qint64> m_stubborn; // children that ignore termination; killed in cleanup
};

void TestCoreService::init()
{
    // A QProcess destroyed while its child runs warns and blocks; the launcher must not.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess")));
    m_box = std::make_unique<FakeCoreSandbox>();
    QVERIFY(m_box->isValid());
}

void TestCoreService::cleanup()
{
    for (qint64 pid : std::as_const(m_stubborn)) {
        ::kill(static_cast<pid_t>(pid), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(FakeCoreSandbox::processGone(pid), kWaitMs);
    }
    m_stubborn.clear();
    m_box.reset();
}

void TestCoreService::resolveProjectRoot_data()
{
    QTest::addColumn<std::optional<QString>>("variable");
    QTest::addColumn<std::optional<QByteArray>>("pointer");
    QTest::addColumn<int>("packaged"); // 0 none, 1 executable, 2 without execute permission
    QTest::addColumn<QString>("cwd");
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<QString>("resources"); // empty: the application has none
    QTest::addColumn<QStringList>("projects");
    QTest::addColumn<QString>("expected"); // empty: projectRootNotFound

    const std::optional<QString> noVar;
    const std::optional<QByteArray> noPtr;
    const QString nowhere = QStringLiteral("void/a");
    const QString app = QStringLiteral("void/bin");
    const QString res = QStringLiteral("res");

    QTest::newRow("packaged core wins over variable and pointer")
        << std::optional<QString>(QStringLiteral("@/fromVar")) << std::optional<QByteArray>("@/fromPointer")
        << 1 << QStringLiteral("p/x") << app << res << QStringList{QStringLiteral("p")}
        << QStringLiteral("@/res/QuillmereCore");
    QTest::newRow("packaged core without execute permission is ignored")
        << std::optional<QString>(QStringLiteral("@/fromVar")) << noPtr << 2 << nowhere << app << res
        << QStringList{} << QStringLiteral("@/fromVar");
    QTest::newRow("variable taken verbatim even if missing")
        << std::optional<QString>(QStringLiteral("@/missing")) << std::optional<QByteArray>("@/fromPointer")
        << 0 << QStringLiteral("p") << app << res << QStringList{QStringLiteral("p")}
        << QStringLiteral("@/missing");
    QTest::newRow("variable keeps its blanks")
        << std::optional<QString>(QStringLiteral("  @/spaced \n")) << noPtr << 0 << nowhere << app
        << QString() << QStringList{} << QStringLiteral("  @/spaced \n");
    QTest::newRow("empty variable counts as unset")
        << std::optional<QString>(QString()) << std::optional<QByteArray>("@/fromPointer") << 0 << nowhere
        << app << res << QStringList{} << QStringLiteral("@/fromPointer");
    QTest::newRow("pointer trimmed, not tested for the marker")
        << noVar << std::optional<QByteArray>(" \n\t@/fromPointer \r\n ") << 0 << QStringLiteral("p") << app
        << res << QStringList{QStringLiteral("p")} << QStringLiteral("@/fromPointer");
    QTest::newRow("blank pointer falls through to the walk")
        << noVar << std::optional<QByteArray>(" \n\t \n") << 0 << QStringLiteral("p/x") << app << res
        << QStringList{QStringLiteral("p")} << QStringLiteral("@/p");
    QTest::newRow("pointer that is not UTF-8 is ignored")
        << noVar << std::optional<QByteArray>("\xff\xfe/tmp\n") << 0 << QStringLiteral("p") << app << res
        << QStringList{QStringLiteral("p")} << QStringLiteral("@/p");
    QTest::newRow("working directory is the project")
        << noVar << noPtr << 0 << QStringLiteral("p") << app << QString() << QStringList{QStringLiteral("p")}
        << QStringLiteral("@/p");
    QTest::newRow("found 7 levels up")
        << noVar << noPtr << 0 << QStringLiteral("p/1/2/3/4/5/6/7") << app << QString()
        << QStringList{QStringLiteral("p")} << QStringLiteral("@/p");
    QTest::newRow("not found 8 levels up, application directory next")
        << noVar << noPtr << 0 << QStringLiteral("p/1/2/3/4/5/6/7/8") << QStringLiteral("q/bin") << QString()
        << QStringList{QStringLiteral("p"), QStringLiteral("q")} << QStringLiteral("@/q");
    QTest::newRow("working directory before application directory")
        << noVar << noPtr << 0 << QStringLiteral("p/src") << QStringLiteral("q/bin") << QString()
        << QStringList{QStringLiteral("p"), QStringLiteral("q")} << QStringLiteral("@/p");
    QTest::newRow("resources directory walked last")
        << noVar << noPtr << 0 << nowhere << app << QStringLiteral("r/share/razo")
        << QStringList{QStringLiteral("r")} << QStringLiteral("@/r");
    QTest::newRow("nothing found") << noVar << noPtr << 2 << nowhere << app << res << QStringList{}
                                   << QString();
}

void TestCoreService::resolveProjectRoot()
{
    QFETCH(std::optional<QString>, variable);
    QFETCH(std::optional<QByteArray>, pointer);
    QFETCH(int, packaged);
    QFETCH(QString, cwd);
    QFETCH(QString, appDir);
    QFETCH(QString, resources);
    QFETCH(QStringList, projects);
    QFETCH(QString, expected);

    const FakeCoreSandbox& box = *m_box;
    for (const QString& project : projects)
        box.makeProject(project);
    for (const QString& dir : {cwd, appDir, resources})
        if (!dir.isEmpty())
            box.makeDir(dir);
    if (pointer)
        box.writeFile(resources + QStringLiteral("/project-root.txt"),
                      pointer->replace('@', box.root().toUtf8()));
    if (packaged != 0)
        box.makePackagedCore(resources, packaged == 1);
    if (QTest::currentTestFailed())
        return;

    CoreEnvironment facts = box.environment(cwd, appDir, resources);
    if (variable)
        facts.environment.insert(QStringLiteral("QUILLMERE_PROJECT_DIR"), box.expand(*variable));

    const auto result = CoreService::resolveProjectRoot(facts);
    if (expected.isEmpty()) {
        QVERIFY(!result);
        QCOMPARE(result.error().kind(), CoreServiceError::Kind::ProjectRootNotFound);
        QCOMPARE(result.error().description(),
                 QStringLiteral("没有找到 msgrelay 项目目录，无法启动本地核心服务。"));
    } else {
        QVERIFY2(result, qPrintable(result ? QString() : result.error().description()));
        QCOMPARE(result.value(), box.expand(expected));
    }
}

void TestCoreService::launchForm_data()
{
    QTest::addColumn<bool>("packaged");
    QTest::newRow("interpreter") << false;
    QTest::newRow("packaged core") << true;
}

void TestCoreService::launchForm()
{
    QFETCH(bool, packaged);
    const FakeCoreSandbox& box = *m_box;
    box.makeProject(QStringLiteral("project"));
    box.makeDir(QStringLiteral("project/src"));
    box.makeDir(QStringLiteral("res"));
    if (packaged)
        box.makePackagedCore(QStringLiteral("res"), true);
    if (QTest::currentTestFailed())
        return;

    CoreEnvironment facts =
        box.environment(QStringLiteral("project/src"), QStringLiteral("void"), QStringLiteral("res"));
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_MODE"), QStringLiteral("record"));
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_RECORD"), box.recordPath());
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_INHERITED"), QStringLiteral("passes 不变"));
    facts.environment.insert(QStringLiteral("QUILLMERE_BUNDLED_CORE"), QStringLiteral("0"));
    facts.environment.insert(QStringLiteral("PYTHONPATH"), box.path(QStringLiteral("inherited")));
    facts.executable = box.path(QStringLiteral("bin/razo"));

    CoreService service(facts);
    QCOMPARE(service.start(), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(box.records().size(), 1, kWaitMs);
    const QJsonObject record = box.records().constFirst();
    QCOMPARE(record.value(QStringLiteral("pid")).toInteger(), service.processId().value_or(-1));

    const QString config =
        box.path(QStringLiteral("home/Library/Application Support/Quillmere/bridge.config.json"));
    QStringList arguments{QStringLiteral("--config"),
                          config,
                          QStringLiteral("desktop"),
                          QStringLiteral("--host"),
                          QStringLiteral("0.0.0.0"),
                          QStringLiteral("--port"),
                          QStringLiteral("8765"),
                          QStringLiteral("--no-browser"),
                          QStringLiteral("--no-native-window")};
    const QString core = box.path(QStringLiteral("res/QuillmereCore"));
    const QString project = box.path(QStringLiteral("project"));
    if (!packaged)
        arguments = QStringList{QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("msgrelay.cli")} +
                    arguments;
    const QJsonObject env = record.value(QStringLiteral("env")).toObject();

    QCOMPARE(record.value(QStringLiteral("program")).toString(),
             packaged ? core + QStringLiteral("/QuillmereCore") : QStringLiteral("/usr/bin/python3"));
    QCOMPARE(record.value(QStringLiteral("arguments")).toVariant().toStringList(), arguments);
    QCOMPARE(record.value(QStringLiteral("cwd")).toString(), packaged ? core : project);
    QCOMPARE(env.value(QStringLiteral("QUILLMERE_BUNDLED_CORE")).toString(),
             packaged ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(env.value(QStringLiteral("PYTHONPATH")).toString(),
             packaged ? box.path(QStringLiteral("inherited")) : project);
    QCOMPARE(env.value(QStringLiteral("RAZO_FAKE_CORE_INHERITED")).toString(), QStringLiteral("passes 不变"));
    QCOMPARE(env.value(QStringLiteral("RAZO_EXECUTABLE")).toString(), box.path(QStringLiteral("bin/razo")));
    QVERIFY(env.value(QStringLiteral("QUILLMERE_PROJECT_DIR")).isNull());
}

void TestCoreService::logAppendsAcrossLaunches_data()
{
    QTest::addColumn<bool>("packaged");
    QTest::addColumn<QByteArray>("earlier"); // empty: no log yet
    QTest::addColumn<int>("mode");           // of the earlier log
    QTest::newRow("interpreter, log created") << false << QByteArray() << 0;
    QTest::newRow("interpreter, earlier log kept") << false << QByteArray("earlier run\n") << 0600;
    QTest::newRow("packaged core, earlier log kept") << true << QByteArray("earlier run\n") << 0600;
    QTest::newRow("an older razo's world-readable log") << false << QByteArray("earlier run\n") << 0644;
}

void TestCoreService::logAppendsAcrossLaunches()
{
    QFETCH(bool, packaged);
    QFETCH(QByteArray, earlier);
    QFETCH(int, mode);
    const FakeCoreSandbox& box = *m_box;
    box.makeProject(QStringLiteral("project"));
    box.makeDir(QStringLiteral("res"));
    if (packaged)
        box.makePackagedCore(QStringLiteral("res"), true);
    if (!earlier.isEmpty()) {
        box.writeFile(QStringLiteral("home/Library/Application Support/Quillmere/native-core.log"), earlier);
        QCOMPARE(::chmod(QFile::encodeName(box.logPath()).constData(), static_cast<mode_t>(mode)), 0);
    }
    if (QTest::currentTestFailed())
        return;

    CoreEnvironment facts =
        box.environment(QStringLiteral("project"), QStringLiteral("void"), QStringLiteral("res"));
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_MODE"), QStringLiteral("exit"));
    CoreService service(facts);

    QList<qint64> pids;
    for (int launch = 0; launch < 2; ++launch) {
        QCOMPARE(service.start(), std::nullopt);
        QVERIFY(service.processId());
        pids << *service.processId();
        // Ended: the child is still held, its handle closed by the termination callback.
        QTRY_VERIFY_WITH_TIMEOUT(!service.isRunning(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!service.isLogOpen(), kWaitMs);
        QCOMPARE(service.processId(), pids.last());
    }
    QVERIFY(pids[0] != pids[1]);

    const QByteArray log = FakeCoreSandbox::readFile(box.logPath());
    QVERIFY2(log.startsWith(earlier), log.constData());
    QCOMPARE(QFileInfo(box.logPath()).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner); // the user's alone
    qsizetype previous = -1;
    for (qint64 pid : pids) {
        for (const char* stream : {"stdout", "stderr"}) {
            const QByteArray line =
                QByteArray("fakecore ") + stream + " pid=" + QByteArray::number(pid) + '\n';
            const qsizetype at = log.indexOf(line);
            QVERIFY2(at >= 0, (line + " missing in:\n" + log).constData());
            if (qstrcmp(stream, "stdout") == 0) {
                QVERIFY2(at > previous, "the second run's output comes after the first's");
                previous = at;
            }
        }
    }
}

void TestCoreService::secondStartWhileRunningIsNoOp()
{
    const FakeCoreSandbox& box = *m_box;
    box.makeProject(QStringLiteral("project"));
    CoreEnvironment facts = box.environment(QStringLiteral("project"), QStringLiteral("void"), QString());
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_RECORD"), box.recordPath());
    CoreService service(facts);

    QCOMPARE(service.start(), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(box.records().size(), 1, kWaitMs);
    const qint64 first = service.processId().value_or(-1);

    // A project root that could not launch shows that nothing is even attempted.
    QCOMPARE(service.start(box.path(QStringLiteral("missing"))), std::nullopt);
    QCOMPARE(service.processId(), first);
    QVERIFY(service.isRunning());
    QVERIFY(service.isLogOpen());

    // A genuine relaunch afterwards is the second record; a stray child would add a third.
    service.stop();
    QTRY_VERIFY_WITH_TIMEOUT(FakeCoreSandbox::processGone(first), kWaitMs);
    QCOMPARE(service.start(), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(box.records().size(), 2, kWaitMs);
    QCOMPARE(box.records().at(1).value(QStringLiteral("pid")).toInteger(), service.processId().value_or(-1));
    service.stop();
    QCOMPARE(box.records().size(), 2);
    QCOMPARE(FakeCoreSandbox::readFile(box.logPath()).count("fakecore stdout"), 2);
}

void TestCoreService::stopWithoutChildIsHarmless()
{
    const FakeCoreSandbox& box = *m_box;
    box.makeProject(QStringLiteral("project"));
    CoreEnvironment facts = box.environment(QStringLiteral("project"), QStringLiteral("void"), QString());
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_MODE"), QStringLiteral("exit"));
    CoreService service(facts);

    service.stop();
    service.stop();
    QVERIFY(!QFileInfo::exists(box.logPath())); // stop prepares nothing

    QCOMPARE(service.start(), std::nullopt);
    QTRY_VERIFY_WITH_TIMEOUT(!service.isRunning(), kWaitMs);
    service.stop(); // from ended: the closed handle is closed again, quietly
    service.stop();
    QCOMPARE(service.processId(), std::nullopt);
}

void TestCoreService::stopTerminatesWithoutWaiting()
{
    const FakeCoreSandbox& box = *m_box;
    box.makeProject(QStringLiteral("project"));
    CoreEnvironment facts = box.environment(QStringLiteral("project"), QStringLiteral("void"), QString());
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_RECORD"), box.recordPath());
    CoreService service(facts);

    QCOMPARE(service.start(), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(box.records().size(), 1, kWaitMs);
    const qint64 pid = service.processId().value_or(-1);

    service.stop();
    QCOMPARE(service.processId(), std::nullopt);
    QVERIFY(!service.isLogOpen());
    QTRY_VERIFY_WITH_TIMEOUT(FakeCoreSandbox::processGone(pid), kWaitMs); // terminated and reaped
}

void TestCoreService::stopDoesNotEscalate()
{
    const FakeCoreSandbox& box = *m_box;
    box.makeProject(QStringLiteral("project"));
    CoreEnvironment facts = box.environment(QStringLiteral("project"), QStringLiteral("void"), QString());
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_MODE"), QStringLiteral("hang"));
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_RECORD"), box.recordPath());
    CoreService service(facts);

    QCOMPARE(service.start(), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(box.records().size(), 1, kWaitMs);
    const qint64 pid = service.processId().value_or(-1);
    m_stubborn << pid;

    // The child notes the termination request and carries on: stop neither waits for it
    // nor kills it.
    service.stop();
    QCOMPARE(service.processId(), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(box.records().size(), 2, kWaitMs);
    QCOMPARE(box.records().at(1).value(QStringLiteral("signal")).toString(), QStringLiteral("SIGTERM"));
    QVERIFY(FakeCoreSandbox::processAlive(pid));
}

void TestCoreService::destructorTerminatesChild()
{
    const FakeCoreSandbox& box = *m_box;
    box.makeProject(QStringLiteral("project"));
    CoreEnvironment facts = box.environment(QStringLiteral("project"), QStringLiteral("void"), QString());
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_RECORD"), box.recordPath());
    qint64 pid = -1;
    {
        CoreService service(facts);
        QCOMPARE(service.start(), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(box.records().size(), 1, kWaitMs);
        pid = service.processId().value_or(-1);
    }
    QTRY_VERIFY_WITH_TIMEOUT(FakeCoreSandbox::processGone(pid), kWaitMs);
}

void TestCoreService::storeTeardownStopsOrLeavesTheCore_data()
{
    QTest::addColumn<bool>("leave");
    QTest::newRow("store torn down: core stopped") << false;
    QTest::newRow("application quits: core left running") << true;
}

// The application leaves the core running when it quits; a store torn down while the
// process goes on stops the core it started. Either way the core has a session of its own,
// out of reach of razo's terminal.
void TestCoreService::storeTeardownStopsOrLeavesTheCore()
{
    QFETCH(bool, leave);
    const FakeCoreSandbox& box = *m_box;
    box.makeProject(QStringLiteral("project"));
    CoreEnvironment facts = box.environment(QStringLiteral("project"), QStringLiteral("void"), QString());
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_RECORD"), box.recordPath());
    // A left core that notes a termination request shows that none came.
    if (leave)
        facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_MODE"), QStringLiteral("hang"));
    auto service = std::make_unique<CoreService>(facts);
    QCOMPARE(service->start(), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(box.records().size(), 1, kWaitMs);
    const qint64 pid = service->processId().value_or(-1);
    if (leave)
        m_stubborn << pid; // cleanup ends it, whatever fails below
    QCOMPARE(::getsid(pid_t(pid)), pid_t(pid));

    {
        BridgeStore store(BridgeAPI(FakeHttpServer::refusingUrl()), std::move(service), StoreTiming{});
        if (leave)
            store.leaveCoreRunning();
    }
    if (!leave) {
        QTRY_VERIFY_WITH_TIMEOUT(FakeCoreSandbox::processGone(pid), kWaitMs);
        return;
    }
    QTest::qWait(300);
    QVERIFY(FakeCoreSandbox::processAlive(pid));
    QCOMPARE(box.records().size(), 1); // not even asked to stop
}

void TestCoreService::logPreparationFailureLaunchesNothing_data()
{
    QTest::addColumn<QString>("blocker"); // a plain file where a directory is needed
    QTest::newRow("support directory cannot be created") << QStringLiteral("home/Library");
    QTest::newRow("log file cannot be opened")
        << QStringLiteral("home/Library/Application Support/Quillmere");
    QTest::newRow("log file is a link, refused")
        << QStringLiteral("home/Library/Application Support/Quillmere/native-core.log");
}

void TestCoreService::logPreparationFailureLaunchesNothing()
{
    QFETCH(QString, blocker);
    const FakeCoreSandbox& box = *m_box;
    box.makeProject(QStringLiteral("project"));
    const QString elsewhere = box.path(QStringLiteral("elsewhere.txt"));
    if (blocker.endsWith(QStringLiteral("Quillmere"))) {
        box.makeDir(blocker + QStringLiteral("/native-core.log")); // a folder cannot be opened for append
    } else if (blocker.endsWith(QStringLiteral(".log"))) {
        box.writeFile(QStringLiteral("elsewhere.txt"), "not the log\n");
        box.makeDir(QFileInfo(blocker).path());
        QVERIFY(QFile::link(elsewhere, box.path(blocker)));
    } else {
        box.writeFile(blocker, "not a directory");
    }
    CoreEnvironment facts = box.environment(QStringLiteral("project"), QStringLiteral("void"), QString());
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_RECORD"), box.recordPath());
    CoreService service(facts);

    const std::optional<CoreServiceError> error = service.start();
    QVERIFY(error);
    QCOMPARE(error->kind(), CoreServiceError::Kind::FileSystem);
    QVERIFY2(error->description().startsWith(QStringLiteral("无法准备本地核心的日志文件：")),
             qPrintable(error->description()));
    QVERIFY2(error->description().contains(box.path(blocker)), qPrintable(error->description()));
    QCOMPARE(service.processId(), std::nullopt);
    QVERIFY(!service.isLogOpen());
    if (QFileInfo::exists(elsewhere))
        QCOMPARE(FakeCoreSandbox::readFile(elsewhere), QByteArray("not the log\n")); // never written through
}

void TestCoreService::launchFailureKeepsFields_data()
{
    QTest::addColumn<bool>("packaged");
    QTest::newRow("project directory missing") << false;
    QTest::newRow("packaged core cannot be executed") << true;
}

void TestCoreService::launchFailureKeepsFields()
{
    QFETCH(bool, packaged);
    const FakeCoreSandbox& box = *m_box;
    box.makeProject(QStringLiteral("project"));
    box.makeDir(QStringLiteral("res"));
    CoreEnvironment facts =
        box.environment(QStringLiteral("project"), QStringLiteral("void"), QStringLiteral("res"));
    facts.environment.insert(QStringLiteral("RAZO_FAKE_CORE_MODE"), QStringLiteral("exit"));
    CoreService service(facts);

    QCOMPARE(service.start(), std::nullopt);
    const std::optional<qint64> ended = service.processId();
    QVERIFY(ended);
    QTRY_VERIFY_WITH_TIMEOUT(!service.isRunning(), kWaitMs);

    std::optional<CoreServiceError> error;
    if (packaged) {
        // Executable, but its interpreter does not exist: the exec itself fails.
        box.writeFile(QStringLiteral("res/QuillmereCore/QuillmereCore"), "#!/nonexistent/interpreter\n");
        QVERIFY(QFile::setPermissions(box.path(QStringLiteral("res/QuillmereCore/QuillmereCore")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        error = service.start();
    } else {
        error = service.start(box.path(QStringLiteral("missing")));
    }
    QVERIFY(error);
    QCOMPARE(error->kind(), CoreServiceError::Kind::Launch);
    QVERIFY2(error->description().startsWith(QStringLiteral("无法启动本地核心服务：")),
             qPrintable(error->description()));
    QCOMPARE(service.processId(), ended); // the ended child is still the one held
    QVERIFY(!service.isRunning());
}

QTEST_GUILESS_MAIN(TestCoreService)
// Whether razo may use the program on the core's port: only when everything listening there is
// this account's. The lookup's own reading of /proc/net/tcp is folded in as the rows' source.
void TestCoreService::ownCoreCheck_data()
{
    QTest::addColumn<std::optional<QList<uint>>>("listeners");
    QTest::addColumn<QString>("refusal"); // empty: used
    const QString foreign =
        QStringLiteral("端口 8765 被本机另一个账户（uid %1）占用，razo 不会使用它，也不会向它发送任何内容。");
    const QString unknown =
        QStringLiteral("无法确认端口 8765 上的程序属于当前账户，razo 不会使用它，也不会向它发送任何内容。");
    // /proc/net/tcp and tcp6: a LISTEN row of 1000 on 8765 (0x223D) on IPv4 and on IPv6 any,
    // an ESTABLISHED row and a LISTEN row of others on other ports, which do not count.
    const QByteArray tables =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
        "   0: 00000000:223D 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 4711 1\n"
        "   1: 0100007F:C350 0100007F:223D 01 00000000:00000000 00:00000000 00000000 65534        0 4712 1\n"
        "   2: 00000000:223E 00000000:0000 0A 00000000:00000000 00:00000000 00000000 65534        0 4713 1\n"
        "   0: 00000000000000000000000000000000:223D 00000000000000000000000000000000:0000 0A "
        "00000000:00000000 00:00000000 00000000  1000        0 4714 1\n";
    QTest::newRow("own core, read from the tables")
        << std::optional(portowner::listenersInTable(tables, 8765)) << QString();
    QTest::newRow("another account's") << std::optional(QList<uint>{65534}) << foreign.arg(65534);
    QTest::newRow("ours on IPv4, theirs on IPv6")
        << std::optional(QList<uint>{1000, 65534, 65534}) << foreign.arg(65534);
    QTest::newRow("nothing listens") << std::optional(QList<uint>{}) << unknown;
    QTest::newRow("owner cannot be read") << std::optional<QList<uint>>() << unknown;
}

void TestCoreService::ownCoreCheck()
{
    QFETCH(std::optional<QList<uint>>, listeners);
    QFETCH(QString, refusal);
    quint16 asked = 0;
    const auto verdict = portowner::checkOwnCore(
        8765,
        [&](quint16 port) {
            asked = port;
            return listeners;
        },
        1000);
    QCOMPARE(asked, quint16(8765));
    QCOMPARE(verdict ? verdict->description() : QString(), refusal);
}

#include "tst_coreservice.moc"
