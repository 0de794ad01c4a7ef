#include "common/SingleInstance.h"

#include "common/Logging.h"
#include "common/MessageId.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <optional>

#include <sys/socket.h>
#include <unistd.h>

namespace {

const QByteArray kActivate = QByteArrayLiteral("activate");
const QByteArray kMessage = QByteArrayLiteral("message=");
const QByteArray kOk = QByteArrayLiteral("ok\n");
constexpr qsizetype kMaxRequest = 4096;
constexpr qsizetype kMaxToken = 1024;

// The kernel's word on who is at the other end of a connected local socket.
bool peerIsSameUser(const QLocalSocket& socket)
{
    ucred credentials{};
    socklen_t length = sizeof credentials;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &length) ==
               0 &&
           credentials.uid == ::geteuid();
}

// ":0.0" and ":0" are one display; the screen number does not make a second session.
QString displayKey(const QProcessEnvironment& environment)
{
    QString display = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (display.isEmpty()) {
        display = environment.value(QStringLiteral("DISPLAY"));
        const qsizetype colon = display.lastIndexOf(u':');
        const qsizetype dot = display.indexOf(u'.', colon);
        if (colon >= 0 && dot > colon)
            display.truncate(dot);
    }
    if (display.isEmpty())
        return QStringLiteral("nodisplay");
    for (QChar& c : display) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                           c == u'.' || c == u'_' || c == u'-';
        if (!plain)
            c = u'_';
    }
    return display;
}

void drop(QLocalSocket* socket)
{
    socket->abort();
    socket->deleteLater();
}

// Printable ASCII up to a sane length; anything else is dropped rather than passed on.
QString cleanToken(const QByteArray& raw)
{
    if (raw.size() > kMaxToken)
        return {};
    for (char c : raw) {
        if (c < 0x21 || c > 0x7e)
            return {};
    }
    return QString::fromLatin1(raw);
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, Timeouts timeouts, QObject* parent)
    : QObject(parent), m_socketPath(std::move(socketPath)), m_timeouts(timeouts)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close(); // removes the socket file
}

QString SingleInstance::socketPathFor(const QProcessEnvironment& environment)
{
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/razo-") + displayKey(environment) + QStringLiteral(".socket");
    QString temp = environment.value(QStringLiteral("TMPDIR"));
    if (temp.isEmpty() || !QFileInfo(temp).isDir())
        temp = QStringLiteral("/tmp");
    return QStringLiteral("%1/razo-%2-%3.socket").arg(temp).arg(::geteuid()).arg(displayKey(environment));
}

SingleInstance::Outcome SingleInstance::claim(const QString& activationToken, std::optional<qint64> messageId)
{
    QByteArray request = kActivate;
    if (!activationToken.isEmpty())
        request += ' ' + activationToken.toLatin1();
    if (messageId)
        request += ' ' + kMessage + QByteArray::number(*messageId);
    request += '\n';

    // A running razo either takes the activation or holds the name without answering.
    const auto settled = [](Attempt a) -> std::optional<Outcome> {
        switch (a) {
        case Attempt::Answered:
            return Outcome::HandedOver;
        case Attempt::Silent:
            return Outcome::Unanswered;
        case Attempt::NoListener:
            break;
        }
        return std::nullopt;
    };
    if (const auto outcome = settled(handOver(request)))
        return *outcome;
    if (listen())
        return Outcome::Primary;

    // The name is taken: another razo started at this very moment, or one that crashed
    // left its socket file behind. Ask once more; if still nobody listens, the file is stale.
    if (const auto outcome = settled(handOver(request)))
        return *outcome;
    qCInfo(lcApp) << "removing a stale instance socket" << m_socketPath;
    QLocalServer::removeServer(m_socketPath);
    return listen() ? Outcome::Primary : Outcome::Unavailable;
}

SingleInstance::Attempt SingleInstance::handOver(const QByteArray& request)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(int(m_timeouts.connect.count())))
        return socket.error() == QLocalSocket::SocketTimeoutError ? Attempt::Silent : Attempt::NoListener;
    if (!peerIsSameUser(socket)) {
        qCWarning(lcApp) << "the instance socket belongs to another user:" << m_socketPath;
        return Attempt::NoListener;
    }

    socket.write(request);

    const QDeadlineTimer deadline(m_timeouts.reply);
    QByteArray reply;
    if (socket.waitForBytesWritten(int(deadline.remainingTime()))) {
        while (!reply.contains('\n') && reply.size() < kMaxRequest &&
               socket.waitForReadyRead(int(deadline.remainingTime())))
            reply += socket.readAll();
    }
    if (reply.startsWith(kOk))
        return Attempt::Answered;
    qCWarning(lcApp) << "the running razo did not answer on" << m_socketPath;
    return Attempt::Silent;
}

bool SingleInstance::listen()
{
    auto* server = new QLocalServer(this);
    if (!server->listen(m_socketPath)) {
        m_lastError = server->errorString();
        delete server;
        return false;
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection())
            serve(socket);
    });
    return true;
}

void SingleInstance::serve(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!peerIsSameUser(*socket)) {
        qCWarning(lcApp) << "refused an instance request from another user";
        drop(socket);
        return;
    }
    // A peer gets one bounded request; a silent or chatty one is dropped.
    auto* expiry = new QTimer(socket);
    expiry->setSingleShot(true);
    expiry->setTimerType(Qt::PreciseTimer);
    connect(expiry, &QTimer::timeout, socket, [socket] { drop(socket); });
    expiry->start(m_timeouts.request);

    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > kMaxRequest)
                drop(socket);
            return;
        }
        const QList<QByteArray> words = socket->readLine(kMaxRequest).trimmed().split(' ');
        if (words.first() != kActivate) {
            drop(socket);
            return;
        }
        QString token;
        std::optional<qint64> messageId;
        for (const QByteArray& word : words.mid(1)) {
            if (word.startsWith(kMessage))
                messageId = parseMessageId(QString::fromLatin1(word.mid(kMessage.size())));
            else if (token.isEmpty())
                token = cleanToken(word);
        }
        socket->write(kOk);
        socket->disconnectFromServer();
        if (messageId) {
            qCInfo(lcApp) << "a later start asked for the window and message" << *messageId;
            emit messageRequested(*messageId);
        } else {
            qCInfo(lcApp) << "a later start asked for the window";
        }
        emit activationRequested(token);
    });
}
