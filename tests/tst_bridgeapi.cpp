#include "BridgeApiOps.h"

#include <QJsonDocument>
#include <QtTest>

using namespace apitest;

class TestBridgeApi : public QObject
{
    Q_OBJECT

private slots:
    void everyOperationReachesItsEndpoint_data();
    void everyOperationReachesItsEndpoint();
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
    const Route route = routeOf(op);
    FakeHttpServer server;
    server.reply(route.method, route.path, FakeHttpServer::json(route.okBody));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());

    const Outcome out = runOp(api, op);
    QVERIFY(out.finished);
    QVERIFY2(out.ok, qPrintable(out.error.description()));
    QCOMPARE(server.totalHeadCount(), 1);
    QCOMPARE(server.requests().first().method, route.method);
    QCOMPARE(server.requests().first().header("Host"),
             QByteArray("127.0.0.1:") + QByteArray::number(server.port()));
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
    // A JSON object that says why in words shows the words, not the JSON.
    QTest::newRow("json error") << 500 << QString(R"({"ok":false,"error":"核心内部错误"})").toUtf8()
                                << "本地接口返回 HTTP 500：核心内部错误";
    QTest::newRow("json message before error")
        << 400 << QByteArray(R"({"message":"m","error":"e"})") << "本地接口返回 HTTP 400：m";
    QTest::newRow("json blank message, error")
        << 400 << QByteArray(R"({"message":" ","error":"e"})") << "本地接口返回 HTTP 400：e";
    QTest::newRow("json without text stays raw")
        << 503 << QByteArray(R"({"error":{"code":7}})") << R"(本地接口返回 HTTP 503：{"error":{"code":7}})";
    QTest::newRow("json array stays raw")
        << 500 << QByteArray(R"(["error"])") << R"(本地接口返回 HTTP 500：["error"])";
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
    const Route route = routeOf(op);
    FakeHttpServer server;
    server.reply(route.method, route.path, Action::reply(status, body));
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
    const Route route = routeOf(op);
    FakeHttpServer server;
    server.reply(route.method, route.path, FakeHttpServer::json(route.okBody));
    const BridgeAPI api(server.baseUrl(), shortTimeouts());
    const Outcome out = runOp(api, op);
    QVERIFY2(out.ok, qPrintable(out.error.description()));
    const FakeHttpServer::Request request = server.requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
    QCOMPARE(request.header("Content-Length").toInt(), request.body.size());
    QCOMPARE(request.body, QJsonDocument(expected).toJson(QJsonDocument::Compact));
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
