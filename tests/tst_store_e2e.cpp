// End to end: the store with the real launcher starts the stand-in core of this
// repository, reaches "运行中" with state and messages loaded, and its teardown leaves
// no core process behind. The core listens on a free port (MSGRELAY_PORT, passed through
// the launcher's inherited environment); the client points there. With AI switched on in
// its configuration, the core answers the assistant through a loopback fake provider.
#include "FakeHttpServer.h"
#include "core/CoreService.h"
#include "store/BridgeStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

// A store with the real launcher; the core it starts keeps its files under `home`.
std::unique_ptr<BridgeStore> makeStore(const QString& home, quint16 port, CoreService** core)
{
    CoreEnvironment env;
    env.homeDirectory = home;
    env.currentDirectory = home;
    env.applicationDirectory = home;
    env.environment = QProcessEnvironment::systemEnvironment();
    env.environment.insert(QStringLiteral("QUILLMERE_PROJECT_DIR"), QStringLiteral(RAZO_SOURCE_DIR));
    env.environment.insert(QStringLiteral("MSGRELAY_PORT"), QString::number(port));
    env.environment.insert(QStringLiteral("MSGRELAY_HOST"), QStringLiteral("127.0.0.1"));
    auto launcher = std::make_unique<CoreService>(env);
    *core = launcher.get();

    StoreTiming timing;
    timing.pollInterval = std::chrono::milliseconds(100); // up to 40 × 100 ms for Python to come up
    ApiTimeouts timeouts;
    timeouts.retryPause = std::chrono::milliseconds(20);
    QUrl base(QStringLiteral("http://127.0.0.1"));
    base.setPort(port);
    return std::make_unique<BridgeStore>(BridgeAPI(base, timeouts), std::move(launcher), timing);
}

QString configPath(const QString& home)
{
    return home + QStringLiteral("/Library/Application Support/Quillmere/bridge.config.json");
}

QByteArray completion(const QString& text)
{
    const QJsonObject message{{"role", "assistant"}, {"content", text}};
    return QJsonDocument(QJsonObject{{"choices", QJsonArray{QJsonObject{{"message", message}}}}}).toJson();
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
        CoreService* core = nullptr;
        auto store = makeStore(home.path(), freePort(), &core);

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
        const QString log =
            home.path() + QStringLiteral("/Library/Application Support/Quillmere/native-core.log");
        QTRY_VERIFY(QFileInfo(log).size() > 0);

        store.reset(); // teardown: timer, then core stop
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(pid), 10000);
    }

    void assistantShowsTheProvidersAnswerOrSaysWhyNot()
    {
        const QString answer = QStringLiteral("来自提供方的回答：先确认接口文档第 4 节。");
        FakeHttpServer provider; // a local Ollama, as far as the core knows
        int status = 200;
        provider.on("POST", QStringLiteral("/v1/chat/completions"), [&](const FakeHttpServer::Request&) {
            return FakeHttpServer::Action::reply(status,
                                                 status == 200 ? completion(answer) : QByteArray("down"),
                                                 {{"Content-Type", "application/json"}});
        });
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QVERIFY(QDir().mkpath(QFileInfo(configPath(home.path())).path()));
        QFile config(configPath(home.path()));
        QVERIFY(config.open(QIODevice::WriteOnly));
        const QJsonObject ai{{"enabled", true},
                             {"provider", "ollama"},
                             {"model", "fake-model"},
                             {"base_url", provider.baseUrl().toString() + QStringLiteral("/v1")}};
        config.write(QJsonDocument(QJsonObject{{"ai", ai}}).toJson());
        config.close();
        CoreService* core = nullptr;
        auto store = makeStore(home.path(), freePort(), &core);
        QCoro::waitFor(store->start());
        QCOMPARE(store->serviceStatus(), QStringLiteral("运行中"));

        QCoro::waitFor(store->sendChat(QStringLiteral("今天先处理什么")));
        QCOMPARE(store->chatMessages().last().role, ChatBubble::Role::Assistant);
        QCOMPARE(store->chatMessages().last().text, answer);
        const QList<FakeHttpServer::Request> asked =
            provider.requests(QStringLiteral("/v1/chat/completions"));
        QVERIFY(!asked.isEmpty());
        QVERIFY(asked.last().header("Authorization").isEmpty());
        QCOMPARE(asked.last().json().value("model").toString(), QStringLiteral("fake-model"));

        status = 500; // the provider fails: the core's rules answer and its setup checklist says why
        QCoro::waitFor(store->sendChat(QStringLiteral("有哪些待办？")));
        const QString fallback = store->chatMessages().last().text;
        QVERIFY2(fallback.startsWith(QStringLiteral("（AI 暂时无法回答：AI 接口出错（HTTP 500）")),
                 qPrintable(fallback));
        QVERIFY2(fallback.contains(QStringLiteral("\n待办事项\n")), qPrintable(fallback));
        QCoro::waitFor(store->refreshAll());
        const QList<SetupItemSnapshot> items =
            store->state()->setup->items.value_or(QList<SetupItemSnapshot>{});
        const auto item = std::find_if(items.begin(), items.end(),
                                       [](const SetupItemSnapshot& i) { return i.key == u"ai_provider"; });
        QVERIFY(item != items.end());
        QCOMPARE(item->status.value_or(QString()), QStringLiteral("error"));
        QVERIFY(item->description.value_or(QString()).contains(QStringLiteral("HTTP 500")));
    }
};

QTEST_GUILESS_MAIN(TestStoreEndToEnd)
#include "tst_store_e2e.moc"
