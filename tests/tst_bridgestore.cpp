// Store lifecycle: start-up (reuse, launch + wait, two failed attempts), refresh rules,
// the refresh timer, toasts and the joining of two network failures.
#include "StandInSystemctl.h"
#include "StoreTestKit.h"
#include "core/PortOwner.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <QCoroTask>

#include <unistd.h>

using namespace storetestkit;

namespace {
// Every value a string property takes, in order, starting with the current one.
struct Recorder
{
    QStringList values;
    template <typename Getter> Recorder(BridgeStore* store, void (BridgeStore::*signal)(), Getter getter)
    {
        values << (store->*getter)();
        QObject::connect(store, signal, store, [this, store, getter] { values << (store->*getter)(); });
    }
};
const QString kNotFound = QStringLiteral("没有找到 msgrelay 项目目录，无法启动本地核心服务。");
// Listens on a free port of every address as whoever runs it, answers every request like a
// ready core, and prints its port, then "heard" with whatever reaches it.
const char* const kSquatter = R"(
import socket
s = socket.socket(socket.AF_INET6); s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
s.bind(('::', 0)); s.listen(8); print(s.getsockname()[1], flush=True)
while True:
    c, _ = s.accept(); c.settimeout(2)
    try:
        data = c.recv(65536)
        if data:
            print('heard', data, flush=True)
            c.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: 28\r\n\r\n{"ok":true,"ready":true}    ')
    except OSError:
        pass
    c.close()
)";
} // namespace

class TestBridgeStore : public QObject
{
    Q_OBJECT

private slots:
    void initialValues()
    {
        auto f = makeStore(FakeHttpServer::refusingUrl());
        BridgeStore& s = *f.store;
        QCOMPARE(s.selectedSection(), AppSection::Overview);
        QCOMPARE(s.messageListPreset(), MessageListPreset::All);
        QVERIFY(!s.state());
        QVERIFY(s.events().isEmpty());
        QCOMPARE(s.serviceStatus(), QStringLiteral("准备启动"));
        QCOMPARE(s.websiteBridgeStatus(), QStringLiteral("尚未同步到网站桥接"));
        QCOMPARE(s.chatMessages().size(), 1);
        QCOMPARE(s.chatMessages().first().role, ChatBubble::Role::System);
        QCOMPARE(s.chatMessages().first().text,
                 QStringLiteral("直接问我：最近企业微信有什么消息、今天先处理什么、哪些消息需要跟进。"));
        QVERIFY(!s.hasRefreshTimer());
    }

    void reusesACoreThatAlreadyAnswers()
    {
        FakeHttpServer server;
        serveHealthyCore(server);
        auto f = makeStore(server.baseUrl());
        Recorder status(f.store.get(), &BridgeStore::serviceStatusChanged, &BridgeStore::serviceStatus);

        QCoro::waitFor(f.store->start());

        QCOMPARE(f.launches->starts, 0);
        QCOMPARE(status.values, (QStringList{"准备启动", "已连接本地核心", "运行中"}));
        QVERIFY(f.store->state());
        QCOMPARE(f.store->events().size(), 2);
        QVERIFY(f.store->lastError().isEmpty());
        QVERIFY(f.store->hasRefreshTimer());
        QVERIFY(!f.store->isRefreshing());
    }

    void launchesAndWaitsWhenTheCoreIsNotReady()
    {
        FakeHttpServer server;
        serveHealthyCore(server);
        // Not ready until the launcher has run, then ready from the second poll on.
        server.reply("GET", QStringLiteral("/api/auth/status"), FakeHttpServer::Action::reply(503));
        auto f = makeStore(server.baseUrl());
        f.launcher->onStart = [&server](int) {
            server.sequence("GET", QStringLiteral("/api/auth/status"),
                            {FakeHttpServer::Action::reply(503), FakeHttpServer::json("{\"ok\":true}")});
        };
        Recorder status(f.store.get(), &BridgeStore::serviceStatusChanged, &BridgeStore::serviceStatus);

        QCoro::waitFor(f.store->start());

        QCOMPARE(f.launches->starts, 1);
        QCOMPARE(status.values, (QStringList{"准备启动", "正在启动本地核心", "已连接本地核心", "运行中"}));
        QCOMPARE(server.headCount(QStringLiteral("/api/auth/status")), 3); // probe + two polls
    }

    // Every poll answers, never 200: two launches, 2 × 4 polls, then the not-found text,
    // which the failing refresh right after replaces.
    void neverReadyEndsInStartFailure()
    {
        FakeHttpServer server;
        server.reply("GET", QStringLiteral("/api/auth/status"), FakeHttpServer::Action::reply(503));
        server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::Action::reply(500, "down"));
        auto f = makeStore(server.baseUrl());
        Recorder status(f.store.get(), &BridgeStore::serviceStatusChanged, &BridgeStore::serviceStatus);
        Recorder errors(f.store.get(), &BridgeStore::lastErrorChanged, &BridgeStore::lastError);

        QCoro::waitFor(f.store->start());

        QCOMPARE(f.launches->starts, 2);
        QCOMPARE(server.headCount(QStringLiteral("/api/auth/status")), 1 + 2 * 4);
        QCOMPARE(status.values, (QStringList{"准备启动", "正在启动本地核心", "启动失败", "连接不稳定"}));
        QCOMPARE(errors.values, (QStringList{"", kNotFound, "本地接口返回 HTTP 500：down"}));
        QVERIFY(f.store->hasRefreshTimer()); // the timer keeps retrying
    }

    void startupFailureTexts_data()
    {
        QTest::addColumn<bool>("launchFails");
        QTest::addColumn<QString>("expectedError");
        QTest::newRow("launcher cannot find the project") << true << kNotFound;
        QTest::newRow("polls refused: the remembered error")
            << false << QStringLiteral("无法连接本地核心 (Could not connect to the server.)");
    }
    void startupFailureTexts()
    {
        QFETCH(bool, launchFails);
        QFETCH(QString, expectedError);
        auto f = makeStore(FakeHttpServer::refusingUrl());
        if (launchFails)
            f.launcher->failure = CoreServiceError::projectRootNotFound();
        Recorder status(f.store.get(), &BridgeStore::serviceStatusChanged, &BridgeStore::serviceStatus);
        Recorder errors(f.store.get(), &BridgeStore::lastErrorChanged, &BridgeStore::lastError);

        QCoro::waitFor(f.store->start());

        QVERIFY(status.values.contains(QStringLiteral("启动失败")));
        QCOMPARE(errors.values.value(1), expectedError);
        QCOMPARE(f.launches->starts, 1); // a probe that fails outright goes straight to the second attempt
        QCOMPARE(f.store->serviceStatus(), QStringLiteral("连接不稳定"));
    }

    // Another account listens on the core's port and answers like a ready core: razo sends it
    // nothing, not even the probe, launches nothing (no core of its own could listen there) and
    // says why; what would carry secrets later, a settings save, is not sent either.
    void anotherAccountsListenerIsNeverSentAnything()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("needs root and setpriv to listen as another account (nobody)");
        QProcess squatter;
        squatter.start(QStringLiteral("setpriv"),
                       {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                        QStringLiteral("--clear-groups"), QStringLiteral("/usr/bin/python3"),
                        QStringLiteral("-u"), QStringLiteral("-c"), QString::fromLatin1(kSquatter)});
        QVERIFY2(squatter.waitForReadyRead(20000), squatter.readAllStandardError().constData());
        const quint16 port = squatter.readLine().trimmed().toUShort();
        QVERIFY(port != 0);
        const uint me = ::geteuid();
        auto f = makeStore(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)), fastTiming(),
                           fastTimeouts(), [me](quint16 asked) -> std::optional<QString> {
                               if (auto refusal = portowner::checkOwnCore(asked, portowner::listeners, me))
                                   return refusal->description();
                               return std::nullopt;
                           });
        Recorder status(f.store.get(), &BridgeStore::serviceStatusChanged, &BridgeStore::serviceStatus);

        QCoro::waitFor(f.store->start());
        QCoro::waitFor(f.store->saveNativeSettings(
            QJsonObject{{QStringLiteral("remote_access_token"), QStringLiteral("secret-token")}}));

        QCOMPARE(f.launches->starts, 0);
        QCOMPARE(status.values, (QStringList{"准备启动", "启动失败"}));
        QCOMPARE(f.store->lastError(),
                 QStringLiteral(
                     "端口 %1 被本机另一个账户（uid 65534）占用，razo 不会使用它，也不会向它发送任何内容。")
                     .arg(port));
        squatter.kill();
        QVERIFY(squatter.waitForFinished(20000));
        const QByteArray heard = squatter.readAll();
        QVERIFY2(!heard.contains("heard"), heard.constData());
    }

    void stateLoadsButEventsFail()
    {
        FakeHttpServer server;
        serveHealthyCore(server, QStringLiteral("old"), {QStringLiteral("旧消息")});
        auto f = makeStore(server.baseUrl());
        QCoro::waitFor(f.store->refreshAll());
        QCOMPARE(f.store->serviceStatus(), QStringLiteral("运行中"));

        server.reply("GET", QStringLiteral("/api/state"),
                     FakeHttpServer::json(stateBody(QStringLiteral("new"))));
        server.reply("GET", QStringLiteral("/api/events"), FakeHttpServer::Action::reply(500, "boom"));
        QCoro::waitFor(f.store->refreshAll());

        QCOMPARE(f.store->state()->summary->actionItems->value(0), QStringLiteral("new"));
        QCOMPARE(f.store->events().size(), 1);
        QCOMPARE(f.store->events().first().displayContent(), QStringLiteral("旧消息"));
        QCOMPARE(f.store->lastError(), QStringLiteral("本地接口返回 HTTP 500：boom"));
        QCOMPARE(f.store->serviceStatus(), QStringLiteral("运行中"));
        QVERIFY(!f.store->isRefreshing());
    }

    void malformedStateKeepsEverything()
    {
        FakeHttpServer server;
        serveHealthyCore(server, QStringLiteral("kept"));
        auto f = makeStore(server.baseUrl());
        QCoro::waitFor(f.store->refreshAll());
        server.reply("GET", QStringLiteral("/api/state"),
                     FakeHttpServer::json("{\"summary\":{\"total_messages\":\"12\"}}"));

        QCoro::waitFor(f.store->refreshAll());

        QCOMPARE(f.store->state()->summary->actionItems->value(0), QStringLiteral("kept"));
        QCOMPARE(f.store->events().size(), 2);
        QVERIFY(f.store->lastError().contains(QStringLiteral("total_messages")));
    }

    void firstRefreshFailsThenSucceeds()
    {
        FakeHttpServer server;
        serveHealthyCore(server);
        server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::Action::reply(503, "busy"));
        auto f = makeStore(server.baseUrl());

        QCoro::waitFor(f.store->refreshAll());
        QCOMPARE(f.store->serviceStatus(), QStringLiteral("连接不稳定"));
        QCOMPARE(f.store->lastError(), QStringLiteral("本地接口返回 HTTP 503：busy"));

        server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::json(stateBody()));
        QCoro::waitFor(f.store->refreshAll());
        QCOMPARE(f.store->serviceStatus(), QStringLiteral("运行中"));
        QVERIFY(f.store->lastError().isEmpty());

        // Once a state is loaded, failures no longer touch the status line.
        server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::Action::reply(503, "busy"));
        QCoro::waitFor(f.store->refreshAll());
        QCOMPARE(f.store->serviceStatus(), QStringLiteral("运行中"));
    }

    void overlappingRefreshesKeepTheFlagUpUntilTheLastEnds()
    {
        FakeHttpServer server;
        serveHealthyCore(server);
        int stateRequests = 0;
        server.on("GET", QStringLiteral("/api/state"), [&stateRequests](const FakeHttpServer::Request&) {
            // Whichever refresh asks first is the slow one.
            return FakeHttpServer::json(stateBody()).delayed(stateRequests++ == 0 ? 400 : 0);
        });
        auto f = makeStore(server.baseUrl());
        QSignalSpy applied(f.store.get(), &BridgeStore::eventsChanged);
        auto first = f.store->refreshAll();
        auto second = f.store->refreshAll();

        QVERIFY(applied.wait(3000)); // the quick refresh has finished
        QCoreApplication::processEvents();
        QCOMPARE(applied.count(), 1);
        QVERIFY2(f.store->isRefreshing(), "the slow refresh still runs");

        QCoro::waitFor(first);
        QCoro::waitFor(second);
        QVERIFY(!f.store->isRefreshing());
        QCOMPARE(server.headCount(QStringLiteral("/api/state")), 2);
    }

    // Something holds the port, accepts connections and never answers: the probe and each
    // poll give up after their own short time-out, the polls end once their budget is spent,
    // no second core is launched (it could not listen there either), start-up ends in
    // "启动失败" saying so, and the refresh loop starts.
    void silentCoreEndsInStartFailure_data()
    {
        QTest::addColumn<bool>("probeAnswers"); // the probe gets 503, then everything is silent
        QTest::newRow("silent from the probe on") << false;
        QTest::newRow("probe answers, polls silent") << true;
    }
    void silentCoreEndsInStartFailure()
    {
        using namespace std::chrono_literals;
        QFETCH(bool, probeAnswers);
        QVERIFY(ApiTimeouts{}.probeTimeout <= 3s); // never the platform's default minute
        QVERIFY(ApiTimeouts{}.pollTimeout <= 3s);

        FakeHttpServer server;
        for (const QString path : {"/api/state", "/api/events"})
            server.reply("GET", path, FakeHttpServer::Action::stall());
        QList<FakeHttpServer::Action> auth{FakeHttpServer::Action::stall()};
        if (probeAnswers)
            auth.prepend(FakeHttpServer::Action::reply(503));
        server.sequence("GET", QStringLiteral("/api/auth/status"), auth);
        ApiTimeouts timeouts = fastTimeouts();
        timeouts.probeTimeout = timeouts.pollTimeout = 100ms;
        timeouts.getTimeout = 200ms;
        StoreTiming timing = fastTiming();
        timing.pollAttempts = 40; // a budget of 40 x 5 ms
        auto launcher = std::make_unique<FakeCoreLauncher>();
        auto launches = launcher->counters();
        BridgeStore store(BridgeAPI(server.baseUrl(), timeouts), std::move(launcher), timing);
        Recorder status(&store, &BridgeStore::serviceStatusChanged, &BridgeStore::serviceStatus);
        Recorder errors(&store, &BridgeStore::lastErrorChanged, &BridgeStore::lastError);

        QCoro::waitFor(store.start());

        const QString portTaken =
            QStringLiteral("端口 %1 被一个不响应的程序占用，无法启动本地核心。").arg(server.port());
        QCOMPARE(status.values, (QStringList{"准备启动", "正在启动本地核心", "启动失败", "连接不稳定"}));
        QCOMPARE(errors.values.value(1), portTaken);
        QCOMPARE(launches->starts, 1);
        // Polls of at least 100 ms each: the budget of 200 ms ends the wait after one or two.
        const int polls = server.headCount(QStringLiteral("/api/auth/status")) - 1;
        QVERIFY2(polls >= 1 && polls <= 2, qPrintable(QString::number(polls)));
        QVERIFY(store.hasRefreshTimer());
    }

    // A refresh overtaken by one that started later applies nothing. Measured before: a to-do
    // completed while a slow refresh ran came back when that refresh landed.
    void overtakenRefreshAppliesNothing_data()
    {
        QTest::addColumn<QString>("slow"); // the load of the first refresh that lands last
        QTest::newRow("state") << "/api/state";
        QTest::newRow("messages") << "/api/events";
    }
    void overtakenRefreshAppliesNothing()
    {
        QFETCH(QString, slow);
        FakeHttpServer server;
        serveHealthyCore(server);
        server.reply("POST", QStringLiteral("/api/tasks/complete"), FakeHttpServer::json("{\"ok\":true}"));
        QHash<QString, int> asked;
        auto answer = [&](const QString& path, QByteArray before, QByteArray after) {
            server.on("GET", path, [&, path, before, after](const FakeHttpServer::Request&) {
                const bool first = asked[path]++ == 0;
                return FakeHttpServer::json(first ? before : after).delayed(first && path == slow ? 400 : 0);
            });
        };
        answer(QStringLiteral("/api/state"), stateBody(QStringLiteral("提交周报")),
               stateBody(QStringLiteral("已清空")));
        answer(QStringLiteral("/api/events"), eventsBody({QStringLiteral("旧消息")}),
               eventsBody({QStringLiteral("新消息")}));
        auto f = makeStore(server.baseUrl());

        auto older = f.store->refreshAll();
        QTRY_VERIFY(asked.value(QStringLiteral("/api/state")) == 1 &&
                    asked.value(QStringLiteral("/api/events")) == 1);
        QCoro::waitFor(f.store->completeTask(QStringLiteral("t"), QStringLiteral("提交周报"))); // reloads
        QCoro::waitFor(older);

        QCOMPARE(f.store->state()->summary->actionItems->value(0), QStringLiteral("已清空"));
        QCOMPARE(f.store->events().size(), 1);
        QCOMPARE(f.store->events().first().displayContent(), QStringLiteral("新消息"));
        QCOMPARE(f.store->serviceStatus(), QStringLiteral("运行中"));
        QVERIFY(f.store->lastError().isEmpty());
        QVERIFY(!f.store->isRefreshing());
    }

    // The search hands over from the loaded messages to the core's week: nothing from the core
    // until it answers the current query, an answer for an older query never lands, a core
    // without the search path leaves the local search alone, and clearing drops the core's list.
    // An overtaken search is ended at once, and its end does not end the search that overtook it.
    void searchHandsOverFromLoadedMessagesToTheCore_data()
    {
        QTest::addColumn<bool>("coreSearches");
        QTest::newRow("core searches the week") << true;
        QTest::newRow("older core: 404") << false;
    }
    void searchHandsOverFromLoadedMessagesToTheCore()
    {
        QFETCH(bool, coreSearches);
        FakeHttpServer server;
        serveHealthyCore(server);
        // The old query's search, and the one the first refresh below starts, never answer.
        int searches = 0;
        server.on("GET", QStringLiteral("/api/search"), [&](const FakeHttpServer::Request& r) {
            const QString q = r.queryValue(QStringLiteral("q"));
            if (++searches == 3 || q == QStringLiteral("旧查询"))
                return FakeHttpServer::Action::stall();
            return coreSearches ? FakeHttpServer::json(eventsBody({QStringLiteral("三天前的") + q}))
                                : FakeHttpServer::Action::reply(404);
        });
        ApiTimeouts timeouts = fastTimeouts(); // a search left running would stay open
        timeouts.getTimeout = timeouts.overallTimeout = std::chrono::seconds(60);
        auto f = makeStore(server.baseUrl(), fastTiming(), timeouts);
        QCoro::waitFor(f.store->refreshAll());
        QStringList landed; // the query of every core list published
        connect(f.store.get(), &BridgeStore::searchResultChanged, f.store.get(), [&] {
            landed << (f.store->searchResult() ? f.store->searchResult()->query : QStringLiteral("-"));
        });
        QList<int> askedWhenDone; // searches the core had seen each time the store stopped searching
        connect(f.store.get(), &BridgeStore::isSearchingChanged, f.store.get(), [&] {
            if (!f.store->isSearching())
                askedWhenDone << server.headCount(QStringLiteral("/api/search"));
        });

        f.store->setSearchQuery(QStringLiteral("旧查询"));
        QVERIFY(f.store->isSearching() && !f.store->searchResult()); // the view shows local matches meanwhile
        QTRY_COMPARE(server.headCount(QStringLiteral("/api/search")), 1);
        f.store->setSearchQuery(QStringLiteral(" 新查询 "));
        QTRY_VERIFY(!f.store->isSearching());
        QCOMPARE(askedWhenDone, QList<int>{2});
        QCOMPARE(server.requests(QStringLiteral("/api/search")).last().rawTarget,
                 QByteArray("/api/search?q=%E6%96%B0%E6%9F%A5%E8%AF%A2&hours=168&limit=200"));
        if (coreSearches) {
            QCOMPARE(landed, QStringList{"新查询"});
            QCOMPARE(f.store->searchResult()->events.first().displayContent(),
                     QStringLiteral("三天前的新查询"));
            QCOMPARE(f.store->searchResult()->hours, 168);
            QCoro::waitFor(f.store->refreshAll()); // new messages may match: the core is asked again
            QTRY_COMPARE(server.headCount(QStringLiteral("/api/search")), 3);
            QCoro::waitFor(f.store->refreshAll()); // while that search still runs
            QTRY_COMPARE(server.headCount(QStringLiteral("/api/search")), 4);
        } else {
            QVERIFY(landed.isEmpty());
        }
        QCOMPARE(f.store->events().size(), 2); // the loaded messages stay what they are
        QVERIFY(f.store->lastError().isEmpty());
        QCOMPARE(f.store->serviceStatus(), QStringLiteral("运行中"));

        QTRY_COMPARE(server.openConnectionCount(), 0); // no search left running

        f.store->setSearchQuery(QString());
        QVERIFY(!f.store->searchResult() && !f.store->isSearching());
    }

    // A preset hands over from the loaded messages to the core's week: nothing from the core until
    // it answers for the preset still chosen (an ask for a preset left meanwhile is ended), each
    // refresh asks again and only a different answer is published. A core without the kind query
    // (a plain list without the echo, or 404) leaves the loaded messages to the view and is asked
    // again only when a preset is chosen again.
    void presetHandsOverFromLoadedMessagesToTheCore_data()
    {
        QTest::addColumn<QString>("core");
        QTest::newRow("core answers by kind") << "current";
        QTest::newRow("older core: no echo") << "no echo";
        QTest::newRow("older core: 404") << "404";
    }
    void presetHandsOverFromLoadedMessagesToTheCore()
    {
        QFETCH(QString, core);
        FakeHttpServer server;
        serveHealthyCore(server);
        QStringList asked; // the kind of every ask
        server.on("GET", QStringLiteral("/api/events"), [&](const FakeHttpServer::Request& r) {
            const QString kind = r.queryValue(QStringLiteral("kind"));
            if (kind.isEmpty())
                return FakeHttpServer::json(eventsBody({QStringLiteral("第一条"), QStringLiteral("第二条")}));
            asked << kind;
            if (kind == QStringLiteral("important"))
                return FakeHttpServer::Action::stall(); // left before it answers
            if (core == QStringLiteral("404"))
                return FakeHttpServer::Action::reply(404);
            if (core == QStringLiteral("no echo"))
                return FakeHttpServer::json(eventsBody({QStringLiteral("第一条"), QStringLiteral("第二条")}));
            const QString found =
                asked.size() < 4 ? QStringLiteral("上周的待办") : QStringLiteral("新的待办");
            return FakeHttpServer::json(eventsBody({found}, kind));
        });
        auto f = makeStore(server.baseUrl());
        f.store->setMessageListPreset(MessageListPreset::Todo); // no core has answered yet: not asked
        f.store->setMessageListPreset(MessageListPreset::All);
        QCoro::waitFor(f.store->refreshAll());
        QStringList landed; // the first message of every core list published
        connect(f.store.get(), &BridgeStore::presetResultChanged, f.store.get(), [&] {
            const auto& result = f.store->presetResult();
            landed << (result ? result->events.value(0).displayContent() : QStringLiteral("-"));
        });

        f.store->setMessageListPreset(MessageListPreset::Important);
        QTRY_COMPARE(asked.size(), 1);
        f.store->setMessageListPreset(MessageListPreset::Todo);
        QVERIFY(!f.store->presetResult()); // the view filters the loaded messages meanwhile
        QTRY_COMPARE(asked.size(), 2);
        QCOMPARE(server.requests(QStringLiteral("/api/events")).last().rawTarget,
                 QByteArray("/api/events?kind=todo&hours=168&limit=500"));
        if (core == QStringLiteral("current")) {
            QTRY_COMPARE(landed, QStringList{"上周的待办"});
            QCOMPARE(f.store->presetResult()->preset, MessageListPreset::Todo);
            QCoro::waitFor(f.store->refreshAll()); // asks again; the same answer changes nothing
            QTRY_COMPARE(asked.size(), 3);
            QCoro::waitFor(f.store->refreshAll());
            QTRY_COMPARE(landed, (QStringList{"上周的待办", "新的待办"}));
        } else {
            QTRY_COMPARE(server.openConnectionCount(), 0);
            QCoro::waitFor(f.store->refreshAll());
            QCoro::waitFor(f.store->refreshAll());
            QCOMPARE(asked.size(), 2); // refreshes do not ask a core that cannot answer
            QVERIFY(landed.isEmpty());
            f.store->setMessageListPreset(MessageListPreset::Meeting);
            QTRY_COMPARE(asked.size(), 3);
            QCOMPARE(asked.last(), QStringLiteral("meeting"));
        }
        QCOMPARE(f.store->events().size(), 2); // the loaded messages stay what they are
        QVERIFY(f.store->lastError().isEmpty());
        QTRY_COMPARE(server.openConnectionCount(), 0); // the ask for the preset left was ended

        f.store->setMessageListPreset(MessageListPreset::All);
        QVERIFY(!f.store->presetResult());
    }

    // Showing the settings while a change runs reads the state again; the change still applies
    // what it read back and says so in its toast.
    void backgroundReadingChangeOutlastsAReading_data()
    {
        QTest::addColumn<bool>("hangs");
        QTest::addColumn<QString>("toast");
        QTest::newRow("turned on") << false << QStringLiteral("已开启登录后在后台读取消息。");
        QTest::newRow("systemctl hangs")
            << true << QStringLiteral("登录后在后台读取消息：systemctl 在 0.3 秒内没有完成。");
    }
    void backgroundReadingChangeOutlastsAReading()
    {
        QFETCH(bool, hangs);
        QFETCH(QString, toast);
        StandInSystemctl systemctl;
        systemctl.mark(QStringLiteral("installed"));
        systemctl.mark(QStringLiteral("session"));
        if (hangs)
            systemctl.mark(QStringLiteral("hang"));
        BackgroundReadingSetup setup = systemctl.setup();
        setup.timeout = std::chrono::milliseconds(300);
        auto f = makeStore(FakeHttpServer::refusingUrl());
        f.store->setBackgroundReadingSetup(setup);
        Recorder toasts(f.store.get(), &BridgeStore::toastChanged, &BridgeStore::toast);

        auto change = f.store->setBackgroundReadingEnabled(true);
        auto reading = f.store->loadBackgroundReading();
        QTRY_VERIFY(change.isReady() && reading.isReady());
        QVERIFY2(toasts.values.contains(toast), qPrintable(toasts.values.join(u'|')));
        QCOMPARE(f.store->backgroundReading().enabled(), !hangs);
        QCOMPARE(f.store->backgroundReading().failure.isEmpty(), !hangs);
    }

    // When the state cannot be loaded, the message load started with it is ended at once
    // instead of staying open until its own time-out.
    void failedStateEndsTheMessageLoad()
    {
        using namespace std::chrono_literals;
        FakeHttpServer server;
        server.reply("GET", QStringLiteral("/api/state"),
                     FakeHttpServer::Action::reply(500, "down").delayed(100));
        server.reply("GET", QStringLiteral("/api/events"), FakeHttpServer::Action::stall());
        ApiTimeouts timeouts = fastTimeouts();
        timeouts.getTimeout = timeouts.overallTimeout = 60s;
        BridgeStore store(BridgeAPI(server.baseUrl(), timeouts), std::make_unique<FakeCoreLauncher>(),
                          fastTiming());

        auto refresh = store.refreshAll();

        // Both well inside the message load's own 60 s.
        QTRY_VERIFY_WITH_TIMEOUT(!store.isRefreshing(), 5000);
        QCOMPARE(store.lastError(), QStringLiteral("本地接口返回 HTTP 500：down"));
        QCOMPARE(server.headCount(QStringLiteral("/api/events")), 1);
        QTRY_COMPARE_WITH_TIMEOUT(server.openConnectionCount(), 0, 5000);
    }

    void secondStartReplacesTheTimer()
    {
        FakeHttpServer server;
        serveHealthyCore(server);
        auto f = makeStore(server.baseUrl());
        QCoro::waitFor(f.store->start());
        QCoro::waitFor(f.store->start());
        const auto timers = f.store->findChildren<QTimer*>();
        int refreshTimers = 0;
        for (QTimer* t : timers)
            refreshTimers += (t->interval() == 60'000 && t->isActive()) ? 1 : 0;
        QCOMPARE(refreshTimers, 1);
        QCOMPARE(f.launches->starts, 0);
    }

    void timerTicksRefresh()
    {
        FakeHttpServer server;
        serveHealthyCore(server);
        StoreTiming timing = fastTiming();
        timing.refreshInterval = std::chrono::milliseconds(30);
        auto f = makeStore(server.baseUrl(), timing);
        QCoro::waitFor(f.store->start());
        const int before = server.headCount(QStringLiteral("/api/state"));
        QTRY_VERIFY_WITH_TIMEOUT(server.headCount(QStringLiteral("/api/state")) >= before + 2, 5000);
    }

    void teardownStopsTheCore()
    {
        auto f = makeStore(FakeHttpServer::refusingUrl());
        auto counters = f.launches;
        f.store.reset();
        QCOMPARE(counters->stops, 1);
    }

    void toastOnlyClearsItsOwnText()
    {
        auto f = makeStore(FakeHttpServer::refusingUrl()); // toast lasts 400 ms
        BridgeStore& s = *f.store;
        s.showToast(QStringLiteral("A"));
        QTest::qWait(200);
        s.showToast(QStringLiteral("B"));
        QTest::qWait(300); // A's time is up, B's is not
        QCOMPARE(s.toast(), QStringLiteral("B"));
        QTRY_COMPARE_WITH_TIMEOUT(s.toast(), QString(), 2000);
    }

    void sameToastTwiceClearsAfterTheFirst()
    {
        auto f = makeStore(FakeHttpServer::refusingUrl());
        BridgeStore& s = *f.store;
        QElapsedTimer clock;
        clock.start();
        s.showToast(QStringLiteral("A"));
        QTest::qWait(200);
        s.showToast(QStringLiteral("A"));
        QSignalSpy cleared(&s, &BridgeStore::toastChanged);
        QVERIFY(cleared.wait(2000));
        QCOMPARE(s.toast(), QString());
        QVERIFY2(clock.elapsed() < 600, "cleared by the first call's timer, not the second's");
    }

    void friendlyNetworkMessage_data()
    {
        QTest::addColumn<QString>("primary");
        QTest::addColumn<QString>("secondary");
        QTest::addColumn<QString>("expected");
        const QString fixed = QStringLiteral("本地核心连接刚刚中断，已自动切换为本地已加载消息摘要。");
        QTest::newRow("timed out, any case") << "x (The request TIMED OUT.)"
                                             << "y" << fixed;
        QTest::newRow("lost in the second") << "a"
                                            << "(The network connection was lost.)" << fixed;
        QTest::newRow("could not connect") << "Could not connect to the server."
                                           << "b" << fixed;
        QTest::newRow("joined without spaces") << "本地接口返回 HTTP 500：a"
                                               << "本地接口返回 HTTP 502"
                                               << "本地接口返回 HTTP 500：a；本地接口返回 HTTP 502";
    }
    void friendlyNetworkMessage()
    {
        QFETCH(QString, primary);
        QFETCH(QString, secondary);
        QFETCH(QString, expected);
        QCOMPARE(BridgeStore::friendlyNetworkMessage(primary, secondary), expected);
    }
};

QTEST_GUILESS_MAIN(TestBridgeStore)
#include "tst_bridgestore.moc"
