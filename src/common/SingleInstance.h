#pragma once

#include <QObject>
#include <QProcessEnvironment>
#include <QString>

#include <chrono>
#include <optional>

class QLocalServer;
class QLocalSocket;

// How long each side waits for the other.
struct SingleInstanceTimeouts
{
    std::chrono::milliseconds connect{1000};
    std::chrono::milliseconds reply{3000};
    std::chrono::milliseconds request{2000}; // a connected peer's whole request, first side
};

// One razo per user and display. The first process listens on a local socket; a later
// start connects, asks it to bring its window forward and exits, so there is never a
// second store with a second refresh loop.
//
// Wire: the later process sends one line of words, "activate [<token>] [message=<id>]\n" (the
// token is the desktop's activation token; the id the message to show) and the first answers
// "ok\n". Both ends check that the peer runs as the same user. A razo from before message ids
// reads the two words as one malformed token: it drops it and still comes forward.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    using Timeouts = SingleInstanceTimeouts;

    enum class Outcome {
        Primary,    // nobody else runs: this process listens now
        HandedOver, // the running razo took the request
        Unanswered, // something listens but did not answer in time
        Unavailable // the socket cannot be set up; this process runs on alone
    };

    explicit SingleInstance(QString socketPath, Timeouts timeouts = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/razo-<display>.socket, or razo-<uid>-<display>.socket in the
    // temporary folder without a runtime folder. <display> comes from WAYLAND_DISPLAY,
    // else DISPLAY, else "nodisplay", reduced to letters, digits, '.', '_' and '-'.
    static QString socketPathFor(const QProcessEnvironment& environment);

    // Hands over to a running razo, or becomes the one that runs. Blocks for at most twice
    // the connect and reply time-outs; call it before the window exists. `messageId`: the
    // running razo is to show that message.
    Outcome claim(const QString& activationToken, std::optional<qint64> messageId = std::nullopt);

    QString socketPath() const { return m_socketPath; }
    QString lastError() const { return m_lastError; }

signals:
    // A later start asked for the window; `activationToken` may be empty.
    void activationRequested(const QString& activationToken);
    // A later start asked to show a message (emitted before activationRequested).
    void messageRequested(qint64 messageId);

private:
    enum class Attempt { Answered, NoListener, Silent };
    Attempt handOver(const QByteArray& request);
    bool listen();
    void serve(QLocalSocket* socket);

    QString m_socketPath;
    Timeouts m_timeouts;
    QLocalServer* m_server = nullptr;
    QString m_lastError;
};
