#include "AwaitTask.h"
#include "FakeHttpServer.h"
#include "api/BridgeAPI.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QtTest>

using namespace std::chrono_literals;
using Action = FakeHttpServer::Action;

namespace {

ApiTimeouts shortTimeouts()
{
    ApiTimeouts t;
    t.getTimeout = 300ms;
    t.postTimeout = 300ms;
    t.overallTimeout = 2000ms;
    t.retryPause = 20ms;
    t.probeTimeout = 300ms;
    return t;
}

// Where each operation goes and a body that decodes as its reply.
struct OpSpec
{
    QByteArray method;
    QString path;
    QByteArray okBody;
};

OpSpec specOf(const QString& op)
{
    static const QHash<QString, OpSpec> specs{
        {"state", {"GET", "/api/state", "{}"}},
        {"events", {"GET", "/api/events", R"({"events":[{"id":1,"content":"x"}]})"}},
        {"ask", {"GET", "/api/ask", R"({"answer":"a"})"}},
        {"chat", {"POST", "/api/chat", R"({"message":"hi","session_id":"s1"})"}},
        {"scanVisibleWeCom", {"POST", "/api/scan/wecom/visible", R"({"ok":true,"inserted":2})"}},
        {"saveNativeConfig", {"POST", "/api/config/native/save", R"({"ok":true})"}},
        {"pushRemoteContext", {"POST", "/api/remote/context/push", R"({"mobile_url":"m"})"}},
        {"completeTask", {"POST", "/api/tasks/complete", R"({"ok":true})"}},
        {"openConfigDir", {"POST", "/api/desktop/open-config-dir", "{}"}},
    };
    return specs.value(op);
}

struct Outcome
{
    bool finished = false;
    bool ok = false;
    BridgeAPIError error = BridgeAPIError::transport({});
};

template <typename T> Outcome collect(QCoro::Task<Result<T, BridgeAPIError>>&& task)
{
    Outcome out;
    auto result = razotest::awaitTask(std::move(task));
    if (!result)
        return out;
    out.finished = true;
    out.ok = result->ok();
    if (!out.ok)
        out.error = result->error();
    return out;
}

Outcome runOp(const BridgeAPI& api, const QString& op)
{
    if (op == "state")
        return collect(api.state());
    if (op == "events")
        return collect(api.events(168, 120));
    if (op == "ask")
        return collect(api.ask("q", 168));
    if (op == "chat")
        return collect(api.chat("hello", std::nullopt));
    if (op == "scanVisibleWeCom")
        return collect(api.scanVisibleWeCom());
    if (op == "saveNativeConfig")
        return collect(api.saveNativeConfig(QJsonObject{{"user_name", "me"}}));
    if (op == "pushRemoteContext")
        return collect(api.pushRemoteContext());
    if (op == "completeTask")
        return collect(api.completeTask("写周报"));
    if (op == "openConfigDir")
        return collect(api.openConfigDir());
    qFatal("unknown operation");
}

// "drop,ok" -> the server drops the first request and answers the second.
QList<Action> script(const QString& text, const OpSpec& spec)
{
    QList<Action> actions;
    for (const QString& step : text.split(',')) {
        if (step == "ok")
            actions.append(FakeHttpServer::json(spec.okBody));
        else if (step == "drop")
            actions.append(Action::drop());
        else if (step == "stall")
            actions.append(Action::stall());
        else if (step == "garbage")
            actions.append(Action::garbage());
        else if (step == "truncated")
            actions.append(Action::raw("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n{\"ev"));
        else
            actions.append(Action::reply(step.toInt(), "boom"));
    }
    return actions;
}

} // namespace

class TestBridgeApi : public QObject
{
    Q_OBJECT

private slots:
    void everyOperationReachesItsEndpoint_data();
    void everyOperationReachesItsEndpoint();
    void retryRule_data();
    void retryRule();
    void refusedTwiceFailsAfterOnePause();
    void refusedOnceThenAnsweredSucceeds();
    void statusErrors_data();
    void statusErrors();
    void emptySuccessBodyIsADecodingFailure_data();
    void emptySuccessBodyIsADecodingFailure();
    void decodedRecordsReachTheCaller();
    void authStatus_data();
    void authStatus();
    void authStatusNeverRetries();
    void probeStatusReportsAnyStatus();
    void eventsQueryIsExact();
    void askQuestionRoundTrips_data();
    void askQuestionRoundTrips();
    void chatBody_data();
    void chatBody();
    void postBodies_data();
    void postBodies();
    void timeouts_data();
    void timeouts();
    void transportTexts();
};

void TestBridgeApi::everyOperationReachesItsEndpoint_data()
{
    QTest::addColumn<QString>("op");
    for (const char* op : {"state", "events", "ask", "chat", "scanVisibleWeCom", "saveNativeConfig",
                           "pushRemoteContext", "completeTask", "openConfigDir"})
        QTest::newRow(op) << QString(op);
}

void TestBridgeApi::everyOperationReachesItsEndpoint()
{
    QFETCH(QString, op);
    const OpSpec spec = specOf(op);
    FakeHttpServer server;
    server.reply(spec.method, spec.path, FakeHttpServer::json(spec.okBody));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());

    const Outcome out = runOp(api, op);
    QVERIFY(out.finished);
    QVERIFY2(out.ok, qPrintable(out.error.description()));
    QCOMPARE(server.totalHeadCount(), 1);
    QCOMPARE(server.requests().first().method, spec.method);
    QCOMPARE(server.requests().first().header("Host"),
             QByteArray("127.0.0.1:") + QByteArray::number(server.port()));
}

void TestBridgeApi::retryRule_data()
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

void TestBridgeApi::retryRule()
{
    QFETCH(QString, op);
    QFETCH(QString, steps);
    QFETCH(bool, succeeds);
    QFETCH(int, kind);
    QFETCH(int, requests);
    const OpSpec spec = specOf(op);
    FakeHttpServer server;
    server.sequence(spec.method, spec.path, script(steps, spec));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());

    const Outcome out = runOp(api, op);
    QVERIFY(out.finished);
    QCOMPARE(out.ok, succeeds);
    if (!succeeds)
        QCOMPARE(int(out.error.kind()), kind);
    // Give a stray third request the chance to arrive before counting.
    QTest::qWait(50);
    QCOMPARE(server.headCount(spec.path), requests);
    QCOMPARE(server.connectionCount(), requests);
}

void TestBridgeApi::refusedTwiceFailsAfterOnePause()
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

void TestBridgeApi::refusedOnceThenAnsweredSucceeds()
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

void TestBridgeApi::statusErrors_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("description");
    QTest::newRow("500 boom") << 500 << QByteArray("boom") << "本地接口返回 HTTP 500：boom";
    QTest::newRow("404 empty") << 404 << QByteArray() << "本地接口返回 HTTP 404";
    QTest::newRow("400 chinese") << 400 << QString("参数错误").toUtf8() << "本地接口返回 HTTP 400：参数错误";
    QTest::newRow("500 invalid utf-8") << 500 << QByteArray("\xff\xfe\xc3") << "本地接口返回 HTTP 500";
    QTest::newRow("302 redirect") << 302 << QByteArray("moved") << "本地接口返回 HTTP 302：moved";
}

void TestBridgeApi::statusErrors()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, description);
    FakeHttpServer server;
    server.reply("GET", "/api/state", Action::reply(status, body));
    server.reply("POST", "/api/tasks/complete", Action::reply(status, body));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());

    for (const QString op : {"state", "completeTask"}) {
        const Outcome out = runOp(api, op);
        QVERIFY(out.finished);
        QVERIFY(!out.ok);
        QCOMPARE(out.error.kind(), BridgeAPIError::Kind::Http);
        QCOMPARE(out.error.status(), status);
        QCOMPARE(out.error.description(), description);
    }
    QCOMPARE(server.totalHeadCount(), 2);
}

void TestBridgeApi::emptySuccessBodyIsADecodingFailure_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("204 to state") << "state" << 204 << QByteArray();
    QTest::newRow("200 empty to events") << "events" << 200 << QByteArray();
    QTest::newRow("events without list") << "events" << 200 << QByteArray("{}");
    QTest::newRow("not json to chat") << "chat" << 200 << QByteArray("<html>");
    QTest::newRow("wrong type to action") << "completeTask" << 200 << QByteArray(R"({"ok":"yes"})");
}

void TestBridgeApi::emptySuccessBodyIsADecodingFailure()
{
    QFETCH(QString, op);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    const OpSpec spec = specOf(op);
    FakeHttpServer server;
    server.reply(spec.method, spec.path, Action::reply(status, body));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());

    const Outcome out = runOp(api, op);
    QVERIFY(out.finished);
    QVERIFY(!out.ok);
    QCOMPARE(out.error.kind(), BridgeAPIError::Kind::Decode);
    QVERIFY(!out.error.description().isEmpty());
    QVERIFY(!out.error.description().startsWith("本地接口返回 HTTP"));
    QCOMPARE(server.totalHeadCount(), 1);
}

void TestBridgeApi::decodedRecordsReachTheCaller()
{
    FakeHttpServer server;
    server.reply("GET", "/api/events",
                 FakeHttpServer::json(R"({"events":[{"id":42,"chat_target":"wecom","content":"明天开会"},)"
                                      R"({"session_name":"群A"}]})"));
    server.reply("POST", "/api/chat", FakeHttpServer::json(R"({"session_id":"s-9","message":"好的"})"));
    server.reply("POST", "/api/tasks/complete", FakeHttpServer::json(R"({"ok":false,"error":"不存在"})"));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());

    auto events = razotest::awaitTask(api.events(168, 120));
    QVERIFY(events && events->ok());
    QCOMPARE(events->value().size(), 2);
    QCOMPARE(events->value().at(0).eventId, std::optional<qint64>(42));
    QCOMPARE(events->value().at(0).content, std::optional<QString>("明天开会"));
    QCOMPARE(events->value().at(1).sessionName, std::optional<QString>("群A"));

    auto chat = razotest::awaitTask(api.chat("hi", QString("s-8")));
    QVERIFY(chat && chat->ok());
    QCOMPARE(chat->value().sessionId, std::optional<QString>("s-9"));
    QCOMPARE(chat->value().message, std::optional<QString>("好的"));

    // A refusal inside a 2xx reply is a record, not an error.
    auto done = razotest::awaitTask(api.completeTask("x"));
    QVERIFY(done && done->ok());
    QCOMPARE(done->value().ok, std::optional<bool>(false));
    QCOMPARE(done->value().error, std::optional<QString>("不存在"));
}

void TestBridgeApi::authStatus_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("ready");
    QTest::newRow("200") << "200" << true;
    QTest::newRow("401") << "401" << false;
    QTest::newRow("204") << "204" << false;
    QTest::newRow("503") << "503" << false;
    QTest::newRow("not http") << "garbage" << false;
}

void TestBridgeApi::authStatus()
{
    QFETCH(QString, steps);
    QFETCH(bool, ready);
    FakeHttpServer server;
    server.sequence("GET", "/api/auth/status", script(steps, {}));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());
    auto result = razotest::awaitTask(api.authStatus());
    QVERIFY(result);
    QVERIFY2(result->ok(), result->ok() ? "" : qPrintable(result->error().description()));
    QCOMPARE(result->value(), ready);
    QCOMPARE(server.headCount("/api/auth/status"), 1);
}

void TestBridgeApi::authStatusNeverRetries()
{
    FakeHttpServer server;
    server.sequence("GET", "/api/auth/status", {Action::drop(), Action::reply(200)});
    ApiTimeouts timeouts = shortTimeouts();
    const BridgeAPI api(server.baseUrl(), timeouts);
    auto dropped = razotest::awaitTask(api.authStatus());
    QVERIFY(dropped && !dropped->ok());
    QCOMPARE(dropped->error().kind(), BridgeAPIError::Kind::ConnectionLost);
    QTest::qWait(50);
    QCOMPARE(server.headCount("/api/auth/status"), 1);

    const BridgeAPI refused(FakeHttpServer::refusingUrl(), timeouts);
    auto result = razotest::awaitTask(refused.authStatus());
    QVERIFY(result && !result->ok());
    QCOMPARE(result->error().kind(), BridgeAPIError::Kind::Refused);
}

void TestBridgeApi::probeStatusReportsAnyStatus()
{
    FakeHttpServer server;
    server.reply("GET", "/api/auth/status", Action::reply(503, "starting"));
    server.reply("GET", "/other", Action::garbage());
    const BridgeAPI api(QUrl("http://127.0.0.1:1"), shortTimeouts());
    auto status = razotest::awaitTask(api.probeStatus(server.baseUrl().resolved(QUrl("/api/auth/status"))));
    QVERIFY(status && status->ok());
    QCOMPARE(status->value(), 503);
    auto notHttp = razotest::awaitTask(api.probeStatus(server.baseUrl().resolved(QUrl("/other"))));
    QVERIFY(notHttp && notHttp->ok());
    QCOMPARE(notHttp->value(), 0);
}

void TestBridgeApi::eventsQueryIsExact()
{
    FakeHttpServer server;
    server.reply("GET", "/api/events", FakeHttpServer::json(R"({"events":[]})"));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());
    auto result = razotest::awaitTask(api.events(168, 120));
    QVERIFY(result && result->ok());
    QVERIFY(result->value().isEmpty());
    QCOMPARE(server.requests().first().rawTarget, QByteArray("/api/events?hours=168&limit=120"));
}

void TestBridgeApi::askQuestionRoundTrips_data()
{
    QTest::addColumn<QString>("question");
    QTest::newRow("spaces") << "what is  due today";
    QTest::newRow("ampersand and equals") << "a&b=c&hours=1";
    QTest::newRow("plus") << "1+1 = 2";
    QTest::newRow("chinese") << "明天 有什么会议？";
    QTest::newRow("percent and hash") << "100% #tag ?x";
    QTest::newRow("line break and emoji") << "第一行\n第二行 😀";
}

void TestBridgeApi::askQuestionRoundTrips()
{
    QFETCH(QString, question);
    FakeHttpServer server;
    server.reply("GET", "/api/ask", FakeHttpServer::json(R"({"answer":"ok"})"));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());
    auto result = razotest::awaitTask(api.ask(question, 168));
    QVERIFY(result && result->ok());
    const FakeHttpServer::Request request = server.requests().first();
    const auto items = request.queryItems();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0), qMakePair(QString("hours"), QString("168")));
    QCOMPARE(items.at(1).first, QString("q"));
    QCOMPARE(items.at(1).second, question);
    QVERIFY(!request.query.contains(' '));
    QVERIFY(!request.query.contains('+'));
}

void TestBridgeApi::chatBody_data()
{
    QTest::addColumn<std::optional<QString>>("sessionId");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("absent") << std::optional<QString>() << QStringList{"message"};
    QTest::newRow("empty") << std::optional<QString>(QString()) << QStringList{"message"};
    QTest::newRow("abc") << std::optional<QString>("abc") << QStringList{"message", "session_id"};
}

void TestBridgeApi::chatBody()
{
    QFETCH(std::optional<QString>, sessionId);
    QFETCH(QStringList, keys);
    FakeHttpServer server;
    server.reply("POST", "/api/chat", FakeHttpServer::json("{}"));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());
    auto result = razotest::awaitTask(api.chat("你好 & bye", sessionId));
    QVERIFY(result && result->ok());
    const QJsonObject body = server.requests().first().json();
    QCOMPARE(body.keys(), keys);
    QCOMPARE(body.value("message").toString(), QString("你好 & bye"));
    if (sessionId && !sessionId->isEmpty())
        QCOMPARE(body.value("session_id").toString(), *sessionId);
}

void TestBridgeApi::postBodies_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QJsonObject>("expected");
    const QJsonObject settings{{"user_name", "me"}};
    QTest::newRow("scan") << "scanVisibleWeCom" << QJsonObject{{"force_backfill", true}};
    QTest::newRow("push") << "pushRemoteContext" << QJsonObject();
    QTest::newRow("open config") << "openConfigDir" << QJsonObject();
    QTest::newRow("complete") << "completeTask" << QJsonObject{{"item_text", "写周报"}};
    QTest::newRow("save") << "saveNativeConfig" << settings;
}

void TestBridgeApi::postBodies()
{
    QFETCH(QString, op);
    QFETCH(QJsonObject, expected);
    const OpSpec spec = specOf(op);
    FakeHttpServer server;
    server.reply(spec.method, spec.path, FakeHttpServer::json(spec.okBody));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());
    const Outcome out = runOp(api, op);
    QVERIFY2(out.ok, qPrintable(out.error.description()));
    const FakeHttpServer::Request request = server.requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
    QCOMPARE(request.header("Content-Length").toInt(), request.body.size());
    QCOMPARE(request.body, QJsonDocument(expected).toJson(QJsonDocument::Compact));
}

void TestBridgeApi::timeouts_data()
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

void TestBridgeApi::timeouts()
{
    QFETCH(QString, op);
    QFETCH(int, behaviour);
    QFETCH(bool, succeeds);
    const OpSpec spec = specOf(op);
    ApiTimeouts timeouts = shortTimeouts();
    timeouts.overallTimeout = 1500ms;
    FakeHttpServer server;
    switch (behaviour) {
    case 0:
        server.reply(spec.method, spec.path, Action::stall());
        break;
    case 1:
        server.reply(spec.method, spec.path, FakeHttpServer::json(spec.okBody).delayed(700));
        break;
    case 2: // every byte well inside the request time-out, the whole longer than it but inside the bound
        server.reply(spec.method, spec.path, Action::trickle(200, QByteArray(60, ' ') + spec.okBody, 5));
        break;
    case 3: // every byte inside the request time-out, the whole far beyond the bound
        server.reply(spec.method, spec.path, Action::trickle(200, QByteArray(2000, ' ') + spec.okBody, 60));
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
    QCOMPARE(server.headCount(spec.path), 1);
}

void TestBridgeApi::transportTexts()
{
    QCOMPARE(BridgeAPIError::connectionLost("reset").description(),
             QString("与本地核心的连接中断 (The network connection was lost.)"));
    QCOMPARE(BridgeAPIError::refused("x").description(),
             QString("无法连接本地核心 (Could not connect to the server.)"));
    QCOMPARE(BridgeAPIError::http(0, {}).description(), QString("本地接口返回 HTTP 0"));
    QVERIFY(BridgeAPIError::refused().isRetryable());
    QVERIFY(BridgeAPIError::connectionLost().isRetryable());
    QVERIFY(!BridgeAPIError::timedOut().isRetryable());
    QVERIFY(!BridgeAPIError::http(500, "x").isRetryable());
}

QTEST_GUILESS_MAIN(TestBridgeApi)
#include "tst_bridgeapi.moc"
