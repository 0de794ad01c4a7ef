#include "BridgeApiOps.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

using namespace apitest;

class TestBridgeApiRetry : public QObject
{
    Q_OBJECT

private slots:
    void retryRule_data();
    void retryRule();
    void refusedTwiceFailsAfterOnePause();
    void refusedOnceThenAnsweredSucceeds();
    void timeouts_data();
    void timeouts();
};

void TestBridgeApiRetry::retryRule_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("requests");

    const int lost = int(BridgeAPIError::Kind::ConnectionLost);
    const int http = int(BridgeAPIError::Kind::Http);
    const int timedOut = int(BridgeAPIError::Kind::TimedOut);
    for (const char* op : {"state", "events", "chat", "completeTask"}) {
        auto row = [op](const char* name) -> QTestData& { return QTest::addRow("%s %s", op, name); };
        row("answered") << QString(op) << "ok" << true << 0 << 1;
        row("dropped once") << QString(op) << "drop,ok" << true << 0 << 2;
        row("dropped twice") << QString(op) << "drop,drop,ok" << false << lost << 2;
        row("truncated then answered") << QString(op) << "truncated,ok" << true << 0 << 2;
        row("truncated twice") << QString(op) << "truncated,truncated,ok" << false << lost << 2;
        row("status is not retried") << QString(op) << "500,ok" << false << http << 1;
        row("garbage is not retried") << QString(op) << "garbage,ok" << false << http << 1;
        row("time-out is not retried") << QString(op) << "stall,ok" << false << timedOut << 1;
    }
}

void TestBridgeApiRetry::retryRule()
{
    QFETCH(QString, op);
    QFETCH(QString, steps);
    QFETCH(bool, succeeds);
    QFETCH(int, kind);
    QFETCH(int, requests);
    const Route route = routeOf(op);
    FakeHttpServer server;
    server.sequence(route.method, route.path, script(steps, route));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());

    const Outcome out = runOp(api, op);
    QVERIFY(out.finished);
    QCOMPARE(out.ok, succeeds);
    if (!succeeds)
        QCOMPARE(int(out.error.kind()), kind);
    // Give a stray third request the chance to arrive before counting.
    QTest::qWait(50);
    QCOMPARE(server.headCount(route.path), requests);
    QCOMPARE(server.connectionCount(), requests);
}

void TestBridgeApiRetry::refusedTwiceFailsAfterOnePause()
{
    ApiTimeouts timeouts = shortTimeouts();
    timeouts.retryPause = 150ms;
    const BridgeAPI api(FakeHttpServer::refusingUrl(), timeouts);
    QElapsedTimer clock;
    clock.start();
    const Outcome out = collect(api.state());
    QVERIFY(out.finished);
    QVERIFY(!out.ok);
    QCOMPARE(out.error.kind(), BridgeAPIError::Kind::Refused);
    QCOMPARE(out.error.description(), QString("无法连接本地核心 (Could not connect to the server.)"));
    // Coarse timers may fire up to 5% early.
    QVERIFY2(clock.elapsed() >= 140, "the retry waits for the pause");
}

void TestBridgeApiRetry::refusedOnceThenAnsweredSucceeds()
{
    // The core comes up during the retry pause: the first attempt is refused, the second
    // one is answered.
    FakeHttpServer server(false);
    const quint16 port = FakeHttpServer::refusingPort();
    server.reply("GET", "/api/state", FakeHttpServer::json("{}"));
    ApiTimeouts timeouts = shortTimeouts();
    timeouts.retryPause = 400ms;
    const BridgeAPI api(QUrl(QString("http://127.0.0.1:%1").arg(port)), timeouts);
    QTimer::singleShot(150, &server, [&server, port] { QVERIFY(server.listen(port)); });
    QElapsedTimer clock;
    clock.start();
    const Outcome out = collect(api.state());
    QVERIFY(out.finished);
    QVERIFY2(out.ok, qPrintable(out.error.description()));
    QVERIFY2(clock.elapsed() >= 380, "answered only by the retry");
    QCOMPARE(server.headCount("/api/state"), 1);
}

void TestBridgeApiRetry::timeouts_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("behaviour"); // 0 stall, 1 late reply, 2 slow steady trickle, 3 endless trickle
    QTest::addColumn<bool>("succeeds");
    for (const char* op : {"state", "chat"}) {
        QTest::addRow("%s stalled", op) << QString(op) << 0 << false;
        QTest::addRow("%s reply after the time-out", op) << QString(op) << 1 << false;
        QTest::addRow("%s steady trickle within the overall bound", op) << QString(op) << 2 << true;
        QTest::addRow("%s trickle beyond the overall bound", op) << QString(op) << 3 << false;
    }
}

void TestBridgeApiRetry::timeouts()
{
    QFETCH(QString, op);
    QFETCH(int, behaviour);
    QFETCH(bool, succeeds);
    const Route route = routeOf(op);
    ApiTimeouts timeouts = shortTimeouts();
    timeouts.overallTimeout = 1500ms;
    FakeHttpServer server;
    switch (behaviour) {
    case 0:
        server.reply(route.method, route.path, Action::stall());
        break;
    case 1:
        server.reply(route.method, route.path, FakeHttpServer::json(route.okBody).delayed(700));
        break;
    case 2: // every byte well inside the request time-out, the whole longer than it but inside the bound
        server.reply(route.method, route.path, Action::trickle(200, QByteArray(60, ' ') + route.okBody, 5));
        break;
    case 3: // every byte inside the request time-out, the whole far beyond the bound
        server.reply(route.method, route.path,
                     Action::trickle(200, QByteArray(2000, ' ') + route.okBody, 60));
        break;
    }
    const BridgeAPI api(server.baseUrl(), timeouts);
    QElapsedTimer clock;
    clock.start();
    const Outcome out = runOp(api, op);
    QVERIFY(out.finished);
    QVERIFY2(out.ok == succeeds, qPrintable(out.error.description()));
    if (behaviour == 2) // the request time-out bounds the silence between bytes, not the whole reply
        QVERIFY(clock.elapsed() > 300);
    if (!succeeds) {
        QCOMPARE(out.error.kind(), BridgeAPIError::Kind::TimedOut);
        QCOMPARE(out.error.description(), QString("本地核心响应超时 (The request timed out.)"));
    }
    QTest::qWait(50);
    QCOMPARE(server.headCount(route.path), 1);
}

QTEST_GUILESS_MAIN(TestBridgeApiRetry)
#include "tst_bridgeapiretry.moc"
