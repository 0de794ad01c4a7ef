#include "AwaitTask.h"
#include "FakeHttpServer.h"
#include "api/HttpResponseParser.h"
#include "api/HttpTransport.h"

#include <QtTest>

using namespace std::chrono_literals;
using Action = FakeHttpServer::Action;
using State = HttpResponseParser::State;

namespace {

HttpRequest get(const QUrl& url)
{
    HttpRequest request;
    request.url = url;
    request.timeout = 300ms;
    request.overallTimeout = 2000ms;
    return request;
}

} // namespace

class TestHttpTransport : public QObject
{
    Q_OBJECT

private slots:
    void parser_data();
    void parser();
    void requestBytes();
    void framingOverTheWire_data();
    void framingOverTheWire();
    void concurrentExchanges();
    void serverGoneMidRequest();
};

void TestHttpTransport::parser_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("state"); // after the bytes and, when still incomplete, the end of the connection
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    const int complete = int(State::Complete), notHttp = int(State::NotHttp), lost = int(State::NeedMore);

    QTest::newRow("content-length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello")
                                    << complete << 200 << QByteArray("hello");
    QTest::newRow("bytes past content-length ignored")
        << QByteArray("HTTP/1.1 201 Created\r\ncontent-length: 2\r\n\r\nhello") << complete << 201
        << QByteArray("he");
    QTest::newRow("chunked with extension")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6;x=1\r\n world\r\n"
                      "0\r\n\r\n")
        << complete << 200 << QByteArray("hello world");
    QTest::newRow("chunked with trailer and upper-case size")
        << QByteArray(
               "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nA\r\n0123456789\r\n0\r\nX-T: 1\r\n\r\n")
        << complete << 200 << QByteArray("0123456789");
    QTest::newRow("chunked beats content-length")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: "
                      "chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n")
        << complete << 200 << QByteArray("ok");
    QTest::newRow("read until close") << QByteArray("HTTP/1.0 200 OK\r\nServer: x\r\n\r\n{\"a\":1}")
                                      << complete << 200 << QByteArray("{\"a\":1}");
    QTest::newRow("204 has no body") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << complete << 204
                                     << QByteArray();
    QTest::newRow("interim 100 skipped")
        << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 1\r\n\r\nx")
        << complete << 404 << QByteArray("x");
    QTest::newRow("bare line feeds") << QByteArray("HTTP/1.1 200 OK\nContent-Length: 2\n\nok") << complete
                                     << 200 << QByteArray("ok");
    QTest::newRow("status without reason") << QByteArray("HTTP/1.1 500\r\nContent-Length: 4\r\n\r\nboom")
                                           << complete << 500 << QByteArray("boom");
    QTest::newRow("folded header") << QByteArray(
                                          "HTTP/1.1 200 OK\r\nX-A: 1\r\n  2\r\nContent-Length: 0\r\n\r\n")
                                   << complete << 200 << QByteArray();
    QTest::newRow("ssh banner") << QByteArray("SSH-2.0-OpenSSH\r\n") << notHttp << 0 << QByteArray();
    QTest::newRow("html") << QByteArray("<html>hi</html>") << notHttp << 0 << QByteArray();
    QTest::newRow("status not numeric")
        << QByteArray("HTTP/1.1 abc OK\r\n\r\n") << notHttp << 0 << QByteArray();
    QTest::newRow("header without colon")
        << QByteArray("HTTP/1.1 200 OK\r\nbroken\r\n\r\n") << notHttp << 200 << QByteArray();
    QTest::newRow("negative length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n") << notHttp
                                     << 200 << QByteArray();
    QTest::newRow("conflicting lengths")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab") << notHttp << 200
        << QByteArray();
    QTest::newRow("bad chunk size") << QByteArray(
                                           "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n")
                                    << notHttp << 200 << QByteArray();
    QTest::newRow("chunk overruns its size")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n") << notHttp
        << 200 << QByteArray();
    QTest::newRow("chunk not followed by a line break")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc") << notHttp << 200
        << QByteArray();
    QTest::newRow("chunk followed by a lone carriage return")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\rx") << notHttp << 200
        << QByteArray();
    QTest::newRow("body cut short") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc") << lost
                                    << 200 << QByteArray("abc");
    QTest::newRow("chunks cut short")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel") << lost << 200
        << QByteArray();
    QTest::newRow("headers cut short")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Le") << lost << 200 << QByteArray();
    QTest::newRow("nothing at all") << QByteArray() << lost << 0 << QByteArray();
    QTest::newRow("oversized header")
        << (QByteArray("HTTP/1.1 200 OK\r\nX-Big: ") + QByteArray(70 * 1024, 'a') + "\r\n\r\n")
        << int(State::TooLarge) << 200 << QByteArray();
    QTest::newRow("oversized trailer")
        << (QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\nX-T: ") +
            QByteArray(70 * 1024, 'a'))
        << int(State::TooLarge) << 200 << QByteArray();
}

void TestHttpTransport::parser()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, state);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    // All at once and byte by byte must agree: framing cannot depend on how TCP splits it.
    for (const bool bytewise : {false, true}) {
        HttpResponseParser parser;
        if (bytewise) {
            for (char c : raw)
                parser.feed(QByteArray(1, c));
        } else {
            parser.feed(raw);
        }
        if (parser.state() == State::NeedMore)
            parser.finish();
        QCOMPARE(int(parser.state()), state);
        QCOMPARE(parser.status(), status);
        if (parser.state() == State::Complete || state == int(State::NeedMore))
            QCOMPARE(parser.body(), body);
    }
}

void TestHttpTransport::requestBytes()
{
    HttpRequest getRequest = get(QUrl("http://127.0.0.1:8765/api/ask?hours=168&q=a%20b%2B"));
    QCOMPARE(HttpTransport::serialize(getRequest), QByteArray("GET /api/ask?hours=168&q=a%20b%2B HTTP/1.1\r\n"
                                                              "Host: 127.0.0.1:8765\r\n"
                                                              "Connection: close\r\n"
                                                              "Accept: application/json\r\n"
                                                              "User-Agent: razo\r\n\r\n"));
    HttpRequest post = get(QUrl("http://127.0.0.1:8765/api/remote/context/push"));
    post.method = "POST";
    post.headers = {{"Content-Type", "application/json"}};
    post.body = "{}";
    const QByteArray bytes = HttpTransport::serialize(post);
    QVERIFY(bytes.startsWith("POST /api/remote/context/push HTTP/1.1\r\n"));
    QVERIFY(bytes.contains("\r\nContent-Type: application/json\r\n"));
    QVERIFY(bytes.endsWith("\r\nContent-Length: 2\r\n\r\n{}"));
    post.body.clear(); // an empty POST still declares its length
    QVERIFY(HttpTransport::serialize(post).endsWith("\r\nContent-Length: 0\r\n\r\n"));
}

void TestHttpTransport::framingOverTheWire_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("keepOpen");
    QTest::addColumn<int>("interval"); // > 0: the server sends one byte per interval
    QTest::addColumn<int>("kind");     // -1: success
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    const QByteArray chunked(
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n");
    const int lost = int(BridgeAPIError::Kind::ConnectionLost), http = int(BridgeAPIError::Kind::Http);
    QTest::newRow("chunked, server keeps the line open")
        << chunked << true << 0 << -1 << 200 << QByteArray("abcde");
    QTest::newRow("chunked, a byte at a time") << chunked << false << 1 << -1 << 200 << QByteArray("abcde");
    QTest::newRow("until close") << QByteArray("HTTP/1.1 200 OK\r\n\r\nrest") << false << 0 << -1 << 200
                                 << QByteArray("rest");
    QTest::newRow("length framed, line kept open")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc") << true << 0 << -1 << 200
        << QByteArray("abc");
    QTest::newRow("cut short") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 30\r\n\r\nabc") << false << 0
                               << lost << 0 << QByteArray();
    QTest::newRow("closed after the status line")
        << QByteArray("HTTP/1.1 200 OK\r\n") << false << 0 << lost << 0 << QByteArray();
    QTest::newRow("garbage, then closed")
        << QByteArray("hello there\n") << false << 0 << http << 0 << QByteArray();
    QTest::newRow("garbage, line kept open")
        << QByteArray("SSH-2.0-x\r\n") << true << 0 << http << 0 << QByteArray();
}

void TestHttpTransport::framingOverTheWire()
{
    QFETCH(QByteArray, raw);
    QFETCH(bool, keepOpen);
    QFETCH(int, interval);
    QFETCH(int, kind);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    FakeHttpServer server;
    Action action = Action::raw(raw, keepOpen);
    if (interval > 0)
        action = action.trickled(interval);
    server.reply("GET", "/x", action);
    auto result = razotest::awaitTask(HttpTransport::send(get(server.baseUrl().resolved(QUrl("/x")))));
    QVERIFY(result);
    if (kind < 0) {
        QVERIFY2(result->ok(), result->ok() ? "" : qPrintable(result->error().description()));
        QCOMPARE(result->value().status, status);
        QCOMPARE(result->value().body, body);
    } else {
        QVERIFY(!result->ok());
        QCOMPARE(int(result->error().kind()), kind);
        QCOMPARE(result->error().status(), status);
    }
}

void TestHttpTransport::concurrentExchanges()
{
    // Many exchanges in flight at once, finishing in every way, each with its own outcome.
    FakeHttpServer server;
    server.on("GET", "/echo", [](const FakeHttpServer::Request& r) {
        const int n = r.queryValue("n").toInt();
        switch (n % 4) {
        case 0:
            return Action::reply(200, "n=" + QByteArray::number(n)).delayed(5 * (n % 7));
        case 1:
            return Action::drop().delayed(n % 5);
        case 2:
            return Action::stall();
        default:
            return Action::reply(500, QByteArray::number(n));
        }
    });
    constexpr int count = 40;
    std::vector<QCoro::Task<Result<HttpResponse, BridgeAPIError>>> tasks;
    for (int n = 0; n < count; ++n)
        tasks.push_back(
            HttpTransport::send(get(server.baseUrl().resolved(QUrl(QString("/echo?n=%1").arg(n))))));
    for (int n = 0; n < count; ++n) {
        auto result = razotest::awaitTask(std::move(tasks[n]));
        QVERIFY(result);
        switch (n % 4) {
        case 0:
            QVERIFY(result->ok());
            QCOMPARE(result->value().body, "n=" + QByteArray::number(n));
            break;
        case 1:
            QVERIFY(!result->ok());
            QCOMPARE(result->error().kind(), BridgeAPIError::Kind::ConnectionLost);
            break;
        case 2:
            QVERIFY(!result->ok());
            QCOMPARE(result->error().kind(), BridgeAPIError::Kind::TimedOut);
            break;
        default:
            QVERIFY(result->ok());
            QCOMPARE(result->value().status, 500);
            QCOMPARE(result->value().body, QByteArray::number(n));
        }
    }
    QCOMPARE(server.headCount("/echo"), count);
}

void TestHttpTransport::serverGoneMidRequest()
{
    auto server = std::make_unique<FakeHttpServer>();
    server->reply("GET", "/slow", Action::stall());
    auto task = HttpTransport::send(get(server->baseUrl().resolved(QUrl("/slow"))));
    QTRY_COMPARE(server->headCount("/slow"), 1);
    server.reset(); // the core dies while the request is open
    auto result = razotest::awaitTask(std::move(task));
    QVERIFY(result);
    QVERIFY(!result->ok());
    QCOMPARE(result->error().kind(), BridgeAPIError::Kind::ConnectionLost);
}

QTEST_GUILESS_MAIN(TestHttpTransport)
#include "tst_httptransport.moc"
