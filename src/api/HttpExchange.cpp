#include "api/HttpExchange.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTcpSocket>

HttpExchange::HttpExchange(HttpRequest request)
    : m_request(std::move(request)), m_socket(new QTcpSocket(this)),
      m_parser(m_request.method.compare("HEAD", Qt::CaseInsensitive) == 0)
{
    m_idleTimer.setSingleShot(true);
    m_overallTimer.setSingleShot(true);
    m_idleTimer.setTimerType(Qt::PreciseTimer);
    m_overallTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] { finish(BridgeAPIError::timedOut()); });
    connect(&m_overallTimer, &QTimer::timeout, this,
            [this] { finish(BridgeAPIError::timedOut(QStringLiteral("overall"))); });
}

HttpExchange::~HttpExchange()
{
    // Destroyed by the waiter; if it goes away mid-flight, nothing may call back.
    m_waiter = {};
    m_socket->disconnect(this);
    m_socket->abort();
}

HttpExchange::Outcome HttpExchange::takeOutcome()
{
    Outcome outcome = std::move(*m_outcome);
    return outcome;
}

void HttpExchange::start()
{
    connect(m_socket, &QTcpSocket::connected, this, &HttpExchange::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpExchange::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpExchange::touch);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpExchange::onClosed);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &HttpExchange::onError);
    if (const CancelToken* cancel = m_request.cancel.get()) {
        if (cancel->isCancelled()) {
            finish(BridgeAPIError::cancelled());
            return;
        }
        connect(cancel, &CancelToken::cancelled, this, [this] { finish(BridgeAPIError::cancelled()); });
    }
    m_overallTimer.start(m_request.overallTimeout);
    m_idleTimer.start(m_request.timeout);
    const QUrl& url = m_request.url;
    if (url.scheme() != QLatin1String("http") || url.host().isEmpty()) {
        finish(
            BridgeAPIError::transport(QStringLiteral("unsupported address %1").arg(url.toDisplayString())));
        return;
    }
    m_socket->connectToHost(url.host(), static_cast<quint16>(url.port(80)));
}

void HttpExchange::touch()
{
    if (!isFinished())
        m_idleTimer.start(m_request.timeout);
}

void HttpExchange::onConnected()
{
    m_connected = true;
    if (m_request.admit) {
        if (const std::optional<QString> refusal = m_request.admit()) {
            finish(BridgeAPIError::foreignCore(*refusal));
            return;
        }
    }
    touch();
    m_socket->write(HttpTransport::serialize(m_request));
}

void HttpExchange::onReadyRead()
{
    if (isFinished())
        return;
    touch();
    settle(m_parser.feed(m_socket->readAll()));
}

bool HttpExchange::settle(HttpResponseParser::State state)
{
    switch (state) {
    case HttpResponseParser::State::NeedMore:
        return false;
    case HttpResponseParser::State::Complete:
        complete();
        return true;
    case HttpResponseParser::State::NotHttp:
        finish(BridgeAPIError::http(0, {}));
        return true;
    case HttpResponseParser::State::TooLarge:
        finish(BridgeAPIError::transport(QStringLiteral("reply too large")));
        return true;
    }
    return false;
}

void HttpExchange::onClosed()
{
    if (isFinished())
        return;
    // Take whatever is still buffered before judging the reply.
    if (m_socket->bytesAvailable() > 0) {
        onReadyRead();
        if (isFinished())
            return;
    }
    // Closed before a whole reply: the connection was lost.
    if (!settle(m_parser.finish()))
        finish(BridgeAPIError::connectionLost());
}

void HttpExchange::onError(QAbstractSocket::SocketError error)
{
    if (isFinished())
        return;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::HostNotFoundError:
        finish(BridgeAPIError::refused(m_socket->errorString()));
        return;
    case QAbstractSocket::RemoteHostClosedError:
        onClosed();
        return;
    case QAbstractSocket::NetworkError:
        if (m_connected) { // reset by the peer and the like
            onClosed();
            return;
        }
        break;
    default:
        break;
    }
    finish(BridgeAPIError::transport(m_socket->errorString()));
}

void HttpExchange::complete()
{
    HttpResponse response;
    response.status = m_parser.status();
    response.reason = m_parser.reason();
    response.headers = m_parser.headers();
    response.body = m_parser.body();
    finish(std::move(response));
}

void HttpExchange::finish(Outcome outcome)
{
    if (isFinished())
        return;
    m_outcome = std::move(outcome);
    m_idleTimer.stop();
    m_overallTimer.stop();
    m_socket->disconnect(this);
    m_socket->abort();
    // Resume from the event loop, outside any socket signal, through a context that is
    // not this object: the waiter deletes the exchange as soon as it resumes.
    QPointer<HttpExchange> self(this);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self] {
            if (!self)
                return;
            if (auto waiter = std::exchange(self->m_waiter, {}))
                waiter.resume();
        },
        Qt::QueuedConnection);
}
