#pragma once

#include "api/BridgeAPIError.h"
#include "common/CancelToken.h"
#include "common/Result.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>

#include <QCoroTask>

// A small HTTP/1.1 client over QTcpSocket, used by BridgeAPI for every call to the core.
//
// Why not QNetworkAccessManager: when a server closes a kept-alive connection without
// replying, QNetworkAccessManager quietly resends the request once, GET and POST alike.
// Together with BridgeAPI's own single retry a dropped POST (completing a to-do, saving
// the settings) could then reach the core four times. Here every request opens its own
// connection ("Connection: close"), is written exactly once and is never resent, so a
// call of BridgeAPI puts at most two requests on the wire.
//
// Errors are reported with BridgeAPIError kinds:
//   - connection refused, host not found                     -> Refused
//   - connection closed or reset before the reply is complete -> ConnectionLost
//   - no bytes for `timeout`, or the whole exchange longer than
//     `overallTimeout`                                         -> TimedOut
//   - bytes that are not an HTTP/1.x reply                     -> Http with status 0
//   - anything else (reply too large, socket errors)           -> Transport
//   - the request's cancel token cancelled before the end      -> Cancelled
//   - the `admit` check refused the connection just made       -> ForeignCore (nothing written)
// Non-2xx statuses are NOT errors here: the caller sees the status and the body.
//
// Lifetime: each send() owns one socket for the duration of the exchange; on completion,
// time-out, cancellation or error the socket is aborted and disconnected before the
// awaiting coroutine resumes, so no socket callback outlives the exchange. Any number of
// sends may run concurrently on the thread that starts them (the main thread). Both
// time-outs run on precise timers: Qt's default coarse timers may fire up to 5 % early.

struct HttpRequest
{
    QByteArray method = "GET";
    QUrl url;                                     // absolute http:// address
    QList<QPair<QByteArray, QByteArray>> headers; // extra headers, sent as given
    QByteArray body;                              // sent with Content-Length when not empty or for POST
    // Longest wait for the next byte of progress (connecting, sending, or a reply byte).
    std::chrono::milliseconds timeout{15'000};
    // Bound on the whole exchange from connecting to the last byte of the reply.
    std::chrono::milliseconds overallTimeout{45'000};
    // When set and cancelled, the exchange ends at once (its connection closed).
    CancelTokenPtr cancel;
    // When set, asked once the connection is made and before anything is written to it; a text
    // ends the exchange with the ForeignCore error carrying it (see BridgeAPI's port check).
    std::function<std::optional<QString>()> admit;
};

struct HttpResponse
{
    int status = 0;
    QByteArray reason;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // First value of a header, name compared case-insensitively; empty when absent.
    QByteArray header(const QByteArray& name) const;
};

class HttpTransport
{
public:
    // Sends the request once over a fresh connection and reads the full reply.
    static QCoro::Task<Result<HttpResponse, BridgeAPIError>> send(HttpRequest request);

    // The bytes put on the wire for a request (request line, headers, body).
    static QByteArray serialize(const HttpRequest& request);
};
