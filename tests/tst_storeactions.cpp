// Store actions: busy markers, refusal and failure texts, the follow-up reload, the
// website-bridge sync (manual, silent, automatic) and its status line.
#include "StoreTestKit.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

#include <QCoroTask>

using namespace storetestkit;

namespace {
enum class Action { Complete, Scan, Save, Sync };

QString pathOf(Action a)
{
    switch (a) {
    case Action::Complete: return QStringLiteral("/api/tasks/complete");
    case Action::Scan: return QStringLiteral("/api/scan/wecom/visible");
    case Action::Save: return QStringLiteral("/api/config/native/save");
    case Action::Sync: return QStringLiteral("/api/remote/context/push");
    }
    return {};
}

QCoro::Task<> run(BridgeStore& store, Action a)
{
    switch (a) {
    case Action::Complete: return store.completeTask(QStringLiteral("t1"), QStringLiteral("提交周报"));
    case Action::Scan: return store.scanVisibleWeCom();
    case Action::Save: return store.saveNativeSettings(QJsonObject{{QStringLiteral("notification_keywords"), "a"}});
    case Action::Sync: return store.syncWebsiteBridge(false);
    }
    return store.openConfigDir();
}
} // namespace

Q_DECLARE_METATYPE(Action)

class TestStoreActions : public QObject
{
    Q_OBJECT

private slots:
    void replies_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("toast");
        QTest::addColumn<QString>("lastError");
        QTest::addColumn<bool>("reloads");

        struct Texts { Action a; const char* name; QString success; QString fallback; QString prefix; };
        const QList<Texts> all = {
            {Action::Complete, "complete", "已完成，已从待办列表移除。", "完成事项失败", "完成事项失败："},
            {Action::Scan, "scan", "企业微信读取完成", "企业微信读取失败", "企业微信读取失败："},
            {Action::Save, "save", "设置已保存", "设置保存失败", "设置保存失败："},
            {Action::Sync, "sync", "已同步到网站桥接，手机端可以读取最新整理结果。", "网站桥接同步失败",
             "网站桥接同步失败："},
        };
        for (const Texts& t : all) {
            const bool reloads = t.a != Action::Sync; // the sync never reloads
            auto row = [&](const char* c) -> QTestData& { return QTest::addRow("%s: %s", t.name, c); };
            row("success without message") << t.a << 200 << QByteArray("{}") << t.success << QString() << reloads;
            row("success with message") << t.a << 200 << QByteArray("{\"ok\":true,\"message\":\"好了\"}") << "好了"
                                        << QString() << reloads;
            row("refusal: message before error")
                << t.a << 200 << QByteArray("{\"ok\":false,\"message\":\"m\",\"error\":\"e\"}") << "m" << "m" << false;
            row("refusal: error") << t.a << 200 << QByteArray("{\"ok\":false,\"error\":\"e\"}") << "e" << "e" << false;
            row("refusal: fallback") << t.a << 200 << QByteArray("{\"ok\":false}") << t.fallback << t.fallback
                                     << false;
            // A blank text would be no toast and an empty error line: a silent failure.
            row("refusal: blank message, fallback")
                << t.a << 200 << QByteArray("{\"ok\":false,\"message\":\" \\n\"}") << t.fallback << t.fallback
                << false;
            row("refusal: empty message, error")
                << t.a << 200 << QByteArray("{\"ok\":false,\"message\":\"\",\"error\":\"e\"}") << "e"
                << "e" << false;
            row("request fails") << t.a << 500 << QByteArray("boom") << t.prefix + "本地接口返回 HTTP 500：boom"
                                 << "本地接口返回 HTTP 500：boom" << false;
        }
    }
    void replies()
    {
        QFETCH(Action, action);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, toast);
        QFETCH(QString, lastError);
        QFETCH(bool, reloads);

        FakeHttpServer server;
        serveHealthyCore(server);
        server.reply("POST", pathOf(action),
                     status == 200 ? FakeHttpServer::json(body) : FakeHttpServer::Action::reply(status, body));
        auto f = makeStore(server.baseUrl());
        f.store->showToast(QStringLiteral("之前的提示")); // a present-but-empty text replaces it
        QSignalSpy toasts(f.store.get(), &BridgeStore::toastChanged);

        QCoro::waitFor(run(*f.store, action));

        QVERIFY(toasts.count() >= 1);
        QCOMPARE(f.store->toast(), toast);
        QCOMPARE(f.store->lastError(), lastError);
        QCOMPARE(server.headCount(QStringLiteral("/api/state")), reloads ? 1 : 0);
        QCOMPARE(server.headCount(pathOf(action)), 1);
        QVERIFY(!f.store->isScanningWeCom());
        QVERIFY(!f.store->isSavingSettings());
        QTRY_VERIFY(!f.store->isSyncingWebsiteBridge()); // a reload may start the silent sync
        QVERIFY(f.store->completingTaskIds().isEmpty());
    }

    void completingTwiceSendsOnceAndMarksUntilReloaded()
    {
        FakeHttpServer server;
        serveHealthyCore(server);
        server.reply("POST", QStringLiteral("/api/tasks/complete"), FakeHttpServer::json("{\"ok\":true}"));
        server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::json(stateBody()).delayed(300));
        auto f = makeStore(server.baseUrl());
        BridgeStore& s = *f.store;

        auto first = s.completeTask(QStringLiteral("id-1"), QStringLiteral("提交周报"));
        auto second = s.completeTask(QStringLiteral("id-1"), QStringLiteral("提交周报"));
        QCoro::waitFor(second); // returns at once
        QVERIFY(s.completingTaskIds().contains(QStringLiteral("id-1")));

        QSignalSpy toast(&s, &BridgeStore::toastChanged);
        QVERIFY(toast.wait(3000));
        // The toast is shown before the reload, and the marker outlives it.
        QVERIFY(s.isRefreshing());
        QVERIFY(s.completingTaskIds().contains(QStringLiteral("id-1")));

        QCoro::waitFor(first);
        QVERIFY(s.completingTaskIds().isEmpty());
        QCOMPARE(server.headCount(QStringLiteral("/api/tasks/complete")), 1);
        QCOMPARE(server.requests(QStringLiteral("/api/tasks/complete")).first().json().value("item_text").toString(),
                 QStringLiteral("提交周报"));
    }

    void twoDifferentTasksCompleteTogether()
    {
        FakeHttpServer server;
        serveHealthyCore(server);
        server.reply("POST", QStringLiteral("/api/tasks/complete"), FakeHttpServer::json("{}").delayed(100));
        auto f = makeStore(server.baseUrl());
        auto a = f.store->completeTask(QStringLiteral("a"), QStringLiteral("A"));
        auto b = f.store->completeTask(QStringLiteral("b"), QStringLiteral("B"));
        QCOMPARE(f.store->completingTaskIds(), (QSet<QString>{"a", "b"}));
        QCoro::waitFor(a);
        QCoro::waitFor(b);
        QVERIFY(f.store->completingTaskIds().isEmpty());
        QCOMPARE(server.headCount(QStringLiteral("/api/tasks/complete")), 2);
    }

    void silentSyncFailures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("bridgeStatus");
        QTest::newRow("request fails: only the status line")
            << 502 << QByteArray() << QStringLiteral("网站桥接同步失败：本地接口返回 HTTP 502");
        QTest::newRow("refusal: nothing changes")
            << 200 << QByteArray("{\"ok\":false,\"message\":\"no\"}") << QStringLiteral("尚未同步到网站桥接");
    }
    void silentSyncFailures()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, bridgeStatus);
        FakeHttpServer server;
        server.reply("POST", QStringLiteral("/api/remote/context/push"),
                     status == 200 ? FakeHttpServer::json(body) : FakeHttpServer::Action::reply(status, body));
        auto f = makeStore(server.baseUrl());

        QCoro::waitFor(f.store->syncWebsiteBridge(true));

        QCOMPARE(f.store->websiteBridgeStatus(), bridgeStatus);
        QCOMPARE(f.store->toast(), QString());
        QCOMPARE(f.store->lastError(), QString());
        QVERIFY(!f.store->isSyncingWebsiteBridge());
    }

    void syncGuardSendsOnce()
    {
        FakeHttpServer server;
        server.reply("POST", QStringLiteral("/api/remote/context/push"), FakeHttpServer::json("{}").delayed(100));
        auto f = makeStore(server.baseUrl());
        auto a = f.store->syncWebsiteBridge(false);
        QCoro::waitFor(f.store->syncWebsiteBridge(false));
        QCoro::waitFor(a);
        QCOMPARE(server.headCount(QStringLiteral("/api/remote/context/push")), 1);
    }

    // A successful refresh starts a silent sync unless the last automatic attempt, whatever
    // came of it, is younger than 300 s; a time in the future blocks.
    void automaticSyncSpacing_data()
    {
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("secondsLater");
        QTest::addColumn<int>("pushes");
        for (const char* outcome : {"success", "refusal", "failure"}) {
            QTest::addRow("%s, 299 s", outcome) << outcome << 299 << 1;
            QTest::addRow("%s, 300 s", outcome) << outcome << 300 << 2;
            QTest::addRow("%s, clock went back", outcome) << outcome << -10 << 1;
        }
    }
    void automaticSyncSpacing()
    {
        QFETCH(QString, outcome);
        QFETCH(int, secondsLater);
        QFETCH(int, pushes);
        FakeHttpServer server;
        serveHealthyCore(server);
        const QString path = QStringLiteral("/api/remote/context/push");
        server.reply("POST", path,
                     outcome == "success"
                         ? FakeHttpServer::json("{\"ok\":true,\"mobile_url\":\"https://m.example.com/x\"}")
                     : outcome == "refusal" ? FakeHttpServer::json("{\"ok\":false,\"message\":\"没有桥接\"}")
                                            : FakeHttpServer::Action::reply(502));
        auto clock = std::make_shared<QDateTime>(QDateTime(QDate(2026, 12, 7), QTime(9, 30, 5)));
        auto f = makeStore(server.baseUrl(), fastTiming(clock));

        QCoro::waitFor(f.store->refreshAll()); // no sync yet: this one starts it
        QTRY_COMPARE(server.headCount(path), 1);
        QTRY_VERIFY(!f.store->isSyncingWebsiteBridge());
        if (outcome == "success")
            QCOMPARE(f.store->websiteBridgeStatus(),
                     QStringLiteral("上次同步：09:30:05，手机入口：https://m.example.com/x"));
        QCoro::waitFor(f.store->refreshAll()); // at once: no second attempt
        QTRY_VERIFY(!f.store->isSyncingWebsiteBridge());

        *clock = clock->addSecs(secondsLater);
        QCoro::waitFor(f.store->refreshAll());
        QTRY_VERIFY(!f.store->isSyncingWebsiteBridge());
        QTest::qWait(50);
        QCOMPARE(server.headCount(path), pushes);
    }

    void failedRefreshDoesNotSync()
    {
        FakeHttpServer server;
        serveHealthyCore(server);
        server.reply("GET", QStringLiteral("/api/events"), FakeHttpServer::Action::reply(500));
        auto f = makeStore(server.baseUrl());
        QCoro::waitFor(f.store->refreshAll());
        QTest::qWait(50);
        QCOMPARE(server.headCount(QStringLiteral("/api/remote/context/push")), 0);
    }

    void openConfigDir_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("toast");
        QTest::addColumn<QString>("lastError");
        QTest::newRow("success") << 200 << QByteArray("{\"ok\":true}") << "已打开本地配置目录"
                                 << "";
        QTest::newRow("success with message") << 200 << QByteArray("{\"message\":\"开了\"}") << "开了"
                                              << "";
        QTest::newRow("refusal without text")
            << 200 << QByteArray("{\"ok\":false,\"message\":\" \"}") << "打开配置目录失败"
            << "打开配置目录失败";
        QTest::newRow("refusal: message")
            << 200 << QByteArray("{\"ok\":false,\"message\":\"没有桌面\",\"error\":\"e\"}")
            << "打开配置目录失败：没有桌面"
            << "没有桌面";
        QTest::newRow("refusal: error")
            << 200 << QByteArray("{\"ok\":false,\"error\":\"e\"}") << "打开配置目录失败：e"
            << "e";
        QTest::newRow("request fails") << 404 << QByteArray() << "打开配置目录失败：本地接口返回 HTTP 404"
                                       << "本地接口返回 HTTP 404";
    }
    void openConfigDir()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, toast);
        QFETCH(QString, lastError);
        FakeHttpServer server;
        if (status == 200)
            server.reply("POST", QStringLiteral("/api/desktop/open-config-dir"), FakeHttpServer::json(body));
        auto f = makeStore(server.baseUrl());
        QCoro::waitFor(f.store->openConfigDir());
        QCOMPARE(f.store->toast(), toast);
        QCOMPARE(f.store->lastError(), lastError);
        QCOMPARE(server.headCount(QStringLiteral("/api/state")), 0);
    }

    void statusText_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QString>("expected");
        QTest::newRow("reply link") << QByteArray("{\"mobile_url\":\"https://m.example.com/p\"}") << "https://o.example.com"
                                    << "上次同步：08:05:09，手机入口：https://m.example.com/p";
        QTest::newRow("empty reply link wins over the origin") << QByteArray("{\"mobile_url\":\"\"}")
                                                               << "https://o.example.com" << "上次同步：08:05:09";
        QTest::newRow("origin trimmed") << QByteArray("{}") << " https://o.example.com/ \n"
                                        << "上次同步：08:05:09，手机入口：https://o.example.com/mobile.html#remote-context";
        QTest::newRow("no origin") << QByteArray("{}") << "  " << "上次同步：08:05:09";
    }
    void statusText()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, origin);
        QFETCH(QString, expected);
        APIActionResponse r;
        const QJsonObject o = QJsonDocument::fromJson(reply).object();
        if (o.contains("mobile_url"))
            r.mobileUrl = o.value("mobile_url").toString();
        const QDateTime time(QDate(2026, 12, 7), QTime(8, 5, 9));
        QCOMPARE(BridgeStore::websiteBridgeStatusText(r, time, origin), expected);
    }
};

QTEST_GUILESS_MAIN(TestStoreActions)
#include "tst_storeactions.moc"
