#pragma once

#include "api/HttpResponseParser.h"
#include "api/HttpTransport.h"

#include <QAbstractSocket>
#include <QObject>
#include <QTimer>
#include <coroutine>
#include <optional>

class QTcpSocket;

// One request/reply exchange over its own QTcpSocket; the engine behind
// HttpTransport::send. Driven by socket signals and two timers (idle and overall).
// When it finishes it stops both timers, disconnects from the socket and aborts it,
// then resumes the waiting coroutine from the event loop (never from inside a socket
// signal), so the waiter may delete the exchange right away.
class HttpExchange : public QObject
{
public:
    using Outcome = Result<HttpResponse, BridgeAPIError>;

    explicit HttpExchange(HttpRequest request);
    ~HttpExchange() override;

    void start();
    bool isFinished() const { return m_outcome.has_value(); }
    Outcome takeOutcome();

    // co_await exchange->finished() yields the outcome.
    struct Awaiter
    {
        HttpExchange* exchange;
        bool await_ready() const noexcept { return exchange->isFinished(); }
        void await_suspend(std::coroutine_handle<> waiter) noexcept { exchange->m_waiter = waiter; }
        Outcome await_resume() { return exchange->takeOutcome(); }
    };
    Awaiter finished() { return Awaiter{this}; }

private:
    void onConnected();
    void onReadyRead();
    void onClosed();
    void onError(QAbstractSocket::SocketError error);
    void finish(Outcome outcome);
    void complete(); // the parser holds a whole reply
    // Acts on what the parser says of the reply so far; false while it needs more bytes.
    bool settle(HttpResponseParser::State state);
    void touch();    // progress: restart the idle timer

    HttpRequest m_request;
    QTcpSocket* m_socket = nullptr;
    QTimer m_idleTimer;
    QTimer m_overallTimer;
    HttpResponseParser m_parser;
    bool m_connected = false;
    std::optional<Outcome> m_outcome;
    std::coroutine_handle<> m_waiter;
};
