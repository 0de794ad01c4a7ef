#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <QUrl>
#include <functional>

class QTcpSocket;

// An in-process HTTP/1.1 server on the loopback address for tests that talk to "the
// core". One request per connection (the reply closes it), like razo's own client.
//
//   FakeHttpServer server;                                   // listens on a free port
//   server.reply("GET", "/api/state", FakeHttpServer::json(R"({"ok":true})"));
//   server.on("POST", "/api/chat", [](const FakeHttpServer::Request& r) {
//       return FakeHttpServer::Action::reply(200, r.body);  // echo
//   });
//   server.sequence("GET", "/api/events", {FakeHttpServer::Action::drop(),
//                                          FakeHttpServer::Action::reply(200, "{\"events\":[]}")});
//   BridgeAPI api(server.baseUrl(), shortTimeouts);
//   ... server.requests("/api/chat").first().json()["message"] ...
//   ... server.headCount("/api/events") == 2 ...
//
// Unregistered (method, path) pairs answer 404 with an empty body. Handlers run on the
// thread that owns the server (the test's main thread), so they may touch test state.
class FakeHttpServer : public QObject
{
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    // One received request, recorded once its body is complete.
    struct Request
    {
        QByteArray method;
        QString path;         // percent-decoded, without the query
        QByteArray rawTarget; // the request target exactly as sent ("/api/ask?hours=168&q=a%20b")
        QByteArray query;     // the raw query after '?', still percent-encoded
        Headers headers;
        QByteArray body;

        QByteArray header(const QByteArray& name) const; // case-insensitive, first value
        // Query items decoded the way a form reader does it ('+' is a space, %XX is UTF-8).
        QList<QPair<QString, QString>> queryItems() const;
        QString queryValue(const QString& key) const;
        QJsonObject json() const; // body parsed as a JSON object (empty when it is not one)
    };

    // What the server does with a request.
    struct Action
    {
        enum class Kind {
            Reply, // send `status`, `headers`, `body` (Content-Length added unless framed by the headers)
            Drop,  // close the connection without replying
            Stall, // never reply; keep the connection open
            Raw,   // send `bytes` as they stand, then close (or stay open when `keepOpen`)
        };
        Kind kind = Kind::Reply;
        int status = 200;
        Headers headers;
        QByteArray body;
        QByteArray bytes; // Raw only
        bool keepOpen = false;
        int delayMs = 0;    // wait this long before acting
        int intervalMs = 0; // > 0: Reply and Raw send one byte every intervalMs

        static Action reply(int status, const QByteArray& body = {}, const Headers& headers = {});
        static Action drop();
        static Action stall();
        static Action raw(const QByteArray& bytes, bool keepOpen = false);
        // Not HTTP at all ("SSH-2.0-..." style line); the connection stays open.
        static Action garbage();
        // reply(status, body).trickled(intervalMs)
        static Action trickle(int status, const QByteArray& body, int intervalMs);
        // The same action, started after `ms` milliseconds.
        Action delayed(int ms) const;
        // The same Reply or Raw, sent one byte every `intervalMs` milliseconds.
        Action trickled(int intervalMs) const;
    };
    using Handler = std::function<Action(const Request&)>;

    // A 200 reply with a JSON body and Content-Type application/json.
    static Action json(const QByteArray& body, int status = 200);
    static Action json(const QJsonObject& body, int status = 200);

    // Listens on 127.0.0.1 at a free port unless `listenNow` is false (then call listen()).
    explicit FakeHttpServer(bool listenNow = true, QObject* parent = nullptr);
    ~FakeHttpServer() override;

    // Starts listening (port 0 = any free port). Returns false when the port is taken.
    bool listen(quint16 port = 0);
    void close(); // stops accepting and drops open connections
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    QUrl baseUrl() const; // http://127.0.0.1:<port>

    // Routing. The latest registration for a (method, path) wins.
    void on(const QByteArray& method, const QString& path, Handler handler);
    void reply(const QByteArray& method, const QString& path, const Action& action);
    // One action per request in turn; the last one repeats.
    void sequence(const QByteArray& method, const QString& path, QList<Action> actions);

    // What arrived. A request head counts as soon as its headers are in, even when the
    // body never completes; `requests` lists only complete requests.
    QList<Request> requests() const { return m_requests; }
    QList<Request> requests(const QString& path) const;
    int headCount(const QString& path) const { return m_headCounts.value(path); }
    int totalHeadCount() const;
    int connectionCount() const { return m_connections; }
    // Connections accepted and not yet closed by the client.
    int openConnectionCount() const { return int(m_open.size()); }
    void clearRecords();

    // A loopback port on which nothing listens: connecting to it is refused at once.
    static quint16 refusingPort();
    static QUrl refusingUrl(); // http://127.0.0.1:<refusing port>

private:
    struct Connection
    {
        QByteArray buffer;
        bool headDone = false;
        bool handled = false;
        qsizetype bodyLength = 0;
        Request request;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void dispatch(QTcpSocket* socket, const Request& request);
    void perform(QTcpSocket* socket, const Action& action);
    void trickle(QTcpSocket* socket, QByteArray bytes, int intervalMs, bool close);
    static QByteArray serialize(const Action& action);

    QTcpServer m_server;
    QHash<QTcpSocket*, Connection> m_open;
    QHash<QString, Handler> m_routes; // key: "METHOD path"
    QList<Request> m_requests;
    QHash<QString, int> m_headCounts;
    int m_connections = 0;
};
