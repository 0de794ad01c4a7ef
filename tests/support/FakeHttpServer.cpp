#include "FakeHttpServer.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace {

QByteArray headerValue(const FakeHttpServer::Headers& headers, const QByteArray& name)
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString formDecode(QByteArray text)
{
    text.replace('+', ' ');
    return QUrl::fromPercentEncoding(text);
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

// --- Request ---------------------------------------------------------------------------

QByteArray FakeHttpServer::Request::header(const QByteArray& name) const
{
    return headerValue(headers, name);
}

QList<QPair<QString, QString>> FakeHttpServer::Request::queryItems() const
{
    QList<QPair<QString, QString>> items;
    if (query.isEmpty())
        return items;
    for (const QByteArray& part : query.split('&')) {
        const qsizetype eq = part.indexOf('=');
        if (eq < 0)
            items.append({formDecode(part), QString()});
        else
            items.append({formDecode(part.left(eq)), formDecode(part.mid(eq + 1))});
    }
    return items;
}

QString FakeHttpServer::Request::queryValue(const QString& key) const
{
    for (const auto& [name, value] : queryItems()) {
        if (name == key)
            return value;
    }
    return {};
}

QJsonObject FakeHttpServer::Request::json() const
{
    return QJsonDocument::fromJson(body).object();
}

// --- Action ----------------------------------------------------------------------------

FakeHttpServer::Action FakeHttpServer::Action::reply(int status, const QByteArray& body,
                                                     const Headers& headers)
{
    Action action;
    action.status = status;
    action.body = body;
    action.headers = headers;
    return action;
}

FakeHttpServer::Action FakeHttpServer::Action::drop()
{
    Action action;
    action.kind = Kind::Drop;
    return action;
}

FakeHttpServer::Action FakeHttpServer::Action::stall()
{
    Action action;
    action.kind = Kind::Stall;
    return action;
}

FakeHttpServer::Action FakeHttpServer::Action::raw(const QByteArray& bytes, bool keepOpen)
{
    Action action;
    action.kind = Kind::Raw;
    action.bytes = bytes;
    action.keepOpen = keepOpen;
    return action;
}

FakeHttpServer::Action FakeHttpServer::Action::garbage()
{
    return raw("SSH-2.0-FakeServer_1.0\r\n", true);
}

FakeHttpServer::Action FakeHttpServer::Action::trickle(int status, const QByteArray& body, int intervalMs)
{
    return reply(status, body).trickled(intervalMs);
}

FakeHttpServer::Action FakeHttpServer::Action::trickled(int intervalMs) const
{
    Action action = *this;
    action.intervalMs = intervalMs;
    return action;
}

FakeHttpServer::Action FakeHttpServer::Action::delayed(int ms) const
{
    Action action = *this;
    action.delayMs = ms;
    return action;
}

FakeHttpServer::Action FakeHttpServer::json(const QByteArray& body, int status)
{
    return Action::reply(status, body, {{"Content-Type", "application/json"}});
}

FakeHttpServer::Action FakeHttpServer::json(const QJsonObject& body, int status)
{
    return json(QJsonDocument(body).toJson(QJsonDocument::Compact), status);
}

// --- Server ----------------------------------------------------------------------------

FakeHttpServer::FakeHttpServer(bool listenNow, QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeHttpServer::onNewConnection);
    if (listenNow)
        listen();
}

FakeHttpServer::~FakeHttpServer()
{
    close();
}

bool FakeHttpServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

void FakeHttpServer::close()
{
    m_server.close();
    const QList<QTcpSocket*> sockets = m_open.keys();
    m_open.clear();
    for (QTcpSocket* socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

QUrl FakeHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

void FakeHttpServer::on(const QByteArray& method, const QString& path, Handler handler)
{
    m_routes.insert(QString::fromLatin1(method) + QLatin1Char(' ') + path, std::move(handler));
}

void FakeHttpServer::reply(const QByteArray& method, const QString& path, const Action& action)
{
    on(method, path, [action](const Request&) { return action; });
}

void FakeHttpServer::sequence(const QByteArray& method, const QString& path, QList<Action> actions)
{
    Q_ASSERT(!actions.isEmpty());
    auto next = std::make_shared<qsizetype>(0);
    on(method, path, [actions = std::move(actions), next](const Request&) {
        const Action action = actions.at(std::min(*next, actions.size() - 1));
        ++*next;
        return action;
    });
}

QList<FakeHttpServer::Request> FakeHttpServer::requests(const QString& path) const
{
    QList<Request> matching;
    for (const Request& request : m_requests) {
        if (request.path == path)
            matching.append(request);
    }
    return matching;
}

int FakeHttpServer::totalHeadCount() const
{
    int total = 0;
    for (int count : m_headCounts)
        total += count;
    return total;
}

void FakeHttpServer::clearRecords()
{
    m_requests.clear();
    m_headCounts.clear();
    m_connections = 0;
}

quint16 FakeHttpServer::refusingPort()
{
    // Take a free port from the system and give it back: nothing listens there now.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

QUrl FakeHttpServer::refusingUrl()
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(refusingPort()));
}

void FakeHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        ++m_connections;
        m_open.insert(socket, Connection{});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_open.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void FakeHttpServer::onReadyRead(QTcpSocket* socket)
{
    auto it = m_open.find(socket);
    if (it == m_open.end())
        return;
    Connection& connection = it.value();
    connection.buffer.append(socket->readAll());
    if (connection.handled)
        return;
    if (!connection.headDone) {
        const qsizetype end = connection.buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = connection.buffer.left(end).split('\n');
        connection.buffer.remove(0, end + 4);
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        Request& request = connection.request;
        request.method = requestLine.value(0);
        request.rawTarget = requestLine.value(1);
        const qsizetype question = request.rawTarget.indexOf('?');
        const QByteArray rawPath = question < 0 ? request.rawTarget : request.rawTarget.left(question);
        request.query = question < 0 ? QByteArray() : request.rawTarget.mid(question + 1);
        request.path = QUrl::fromPercentEncoding(rawPath);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        connection.bodyLength = request.header("Content-Length").toLongLong();
        connection.headDone = true;
        ++m_headCounts[request.path];
    }
    if (connection.buffer.size() < connection.bodyLength)
        return;
    connection.request.body = connection.buffer.left(connection.bodyLength);
    connection.handled = true;
    m_requests.append(connection.request);
    dispatch(socket, connection.request);
}

void FakeHttpServer::dispatch(QTcpSocket* socket, const Request& request)
{
    const auto route =
        m_routes.constFind(QString::fromLatin1(request.method) + QLatin1Char(' ') + request.path);
    const Action action = route == m_routes.constEnd() ? Action::reply(404) : route.value()(request);
    if (action.delayMs > 0 && action.kind != Action::Kind::Stall)
        QTimer::singleShot(action.delayMs, socket, [this, socket, action] { perform(socket, action); });
    else
        perform(socket, action);
}

void FakeHttpServer::perform(QTcpSocket* socket, const Action& action)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return; // the client gave up meanwhile
    switch (action.kind) {
    case Action::Kind::Drop:
        socket->disconnectFromHost();
        return;
    case Action::Kind::Stall:
        return;
    case Action::Kind::Reply:
    case Action::Kind::Raw: {
        const QByteArray bytes = action.kind == Action::Kind::Reply ? serialize(action) : action.bytes;
        const bool close = action.kind == Action::Kind::Reply || !action.keepOpen;
        if (action.intervalMs > 0) {
            trickle(socket, bytes, action.intervalMs, close);
            return;
        }
        socket->write(bytes);
        if (close)
            socket->disconnectFromHost();
        return;
    }
    }
}

void FakeHttpServer::trickle(QTcpSocket* socket, QByteArray bytes, int intervalMs, bool close)
{
    auto* timer = new QTimer(socket); // dies with the connection
    auto remaining = std::make_shared<QByteArray>(std::move(bytes));
    connect(timer, &QTimer::timeout, socket, [socket, timer, remaining, close] {
        if (remaining->isEmpty()) {
            timer->stop();
            if (close)
                socket->disconnectFromHost();
            return;
        }
        socket->write(remaining->left(1));
        remaining->remove(0, 1);
    });
    timer->start(intervalMs);
}

QByteArray FakeHttpServer::serialize(const Action& action)
{
    QByteArray out =
        "HTTP/1.1 " + QByteArray::number(action.status) + ' ' + reasonPhrase(action.status) + "\r\n";
    const bool framed = !headerValue(action.headers, "Content-Length").isEmpty() ||
                        !headerValue(action.headers, "Transfer-Encoding").isEmpty();
    for (const auto& [name, value] : action.headers)
        out += name + ": " + value + "\r\n";
    if (!framed)
        out += "Content-Length: " + QByteArray::number(action.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += action.body;
    return out;
}
