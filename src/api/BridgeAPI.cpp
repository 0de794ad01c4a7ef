#include "api/BridgeAPI.h"

#include "api/HttpTransport.h"
#include "common/Logging.h"
#include "common/PreciseSleep.h"
#include "model/WireDecoder.h"

#include <QJsonDocument>
#include <QUrlQuery>

namespace {

using Outcome = Result<HttpResponse, BridgeAPIError>;
template <typename T> using Decoder = Result<T, DecodeError> (*)(const QByteArray&);

const char* kindName(BridgeAPIError::Kind kind)
{
    switch (kind) {
    case BridgeAPIError::Kind::Http:
        return "http";
    case BridgeAPIError::Kind::Refused:
        return "refused";
    case BridgeAPIError::Kind::ConnectionLost:
        return "connection lost";
    case BridgeAPIError::Kind::TimedOut:
        return "timed out";
    case BridgeAPIError::Kind::Transport:
        return "transport";
    case BridgeAPIError::Kind::Decode:
        return "decode";
    case BridgeAPIError::Kind::Encode:
        return "encode";
    case BridgeAPIError::Kind::Cancelled:
        return "cancelled";
    case BridgeAPIError::Kind::ForeignCore:
        return "foreign core";
    }
    return "?";
}

// The base address with the path appended as it stands, then the query items in the
// given order. Values are percent-encoded completely (space, &, =, + and non-ASCII all
// become %XX), so a form-style reader on the other side cannot mistake a '+' for a space.
QUrl endpoint(const QUrl& base, const QString& path, const QList<QPair<QString, QString>>& query = {})
{
    QUrl url = base;
    QString basePath = base.path();
    if (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + path);
    if (!query.isEmpty()) {
        QUrlQuery items;
        for (const auto& [key, value] : query)
            items.addQueryItem(QString::fromLatin1(QUrl::toPercentEncoding(key)),
                               QString::fromLatin1(QUrl::toPercentEncoding(value)));
        url.setQuery(items);
    }
    return url;
}

// Every request of the client is checked by its port check, if it has one, before anything is
// written to the connection.
HttpRequest checked(HttpRequest request, const BridgeAPI& api)
{
    if (const BridgeAPI::PortCheck& check = api.portCheck())
        request.admit = [check, port = static_cast<quint16>(request.url.port(80))] { return check(port); };
    return request;
}

HttpRequest getRequest(const QUrl& url, const BridgeAPI& api)
{
    const ApiTimeouts& timeouts = api.timeouts();
    HttpRequest request;
    request.method = "GET";
    request.url = url;
    request.timeout = timeouts.getTimeout;
    request.overallTimeout = timeouts.overallTimeout;
    return checked(std::move(request), api);
}

HttpRequest postRequest(const QUrl& url, const QJsonObject& body, const BridgeAPI& api)
{
    const ApiTimeouts& timeouts = api.timeouts();
    HttpRequest request;
    request.method = "POST";
    request.url = url;
    request.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
    request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    request.timeout = timeouts.postTimeout;
    request.overallTimeout = timeouts.overallTimeout;
    return checked(std::move(request), api);
}

void logOutcome(const HttpRequest& request, const Outcome& outcome, int attempt)
{
    const QString path = request.url.path();
    if (outcome.ok()) {
        qCDebug(lcApi).nospace().noquote() << request.method.constData() << ' ' << path << " -> "
                                           << outcome->status << (attempt > 1 ? " (retry)" : "");
    } else {
        const BridgeAPIError& error = outcome.error();
        qCInfo(lcApi).nospace().noquote()
            << request.method.constData() << ' ' << path << " failed: " << kindName(error.kind())
            << (error.kind() == BridgeAPIError::Kind::Http ? QStringLiteral(" status %1").arg(error.status())
                                                           : QString())
            << (attempt > 1 ? " (retry)" : "");
    }
}

QCoro::Task<Outcome> sendOnce(HttpRequest request, int attempt)
{
    Outcome outcome = co_await HttpTransport::send(request);
    logOutcome(request, outcome, attempt);
    co_return outcome;
}

// One request; a refused or dropped connection is sent once more after the pause. A
// cancellation during the pause ends the pause, and the second attempt reports it at once.
QCoro::Task<Outcome> sendWithRetry(HttpRequest request, std::chrono::milliseconds pause)
{
    Outcome first = co_await sendOnce(request, 1);
    if (first.ok() || !first.error().isRetryable())
        co_return first;
    co_await sleepPrecisely(pause, request.cancel);
    co_return co_await sendOnce(std::move(request), 2);
}

// Sends with the retry rule, then turns the reply into the record: 2xx is decoded,
// anything else is the Http error with status and body.
template <typename T>
QCoro::Task<Result<T, BridgeAPIError>> fetch(HttpRequest request, std::chrono::milliseconds pause,
                                             Decoder<T> decode)
{
    Outcome outcome = co_await sendWithRetry(std::move(request), pause);
    if (!outcome.ok())
        co_return outcome.error();
    const HttpResponse& response = outcome.value();
    if (response.status < 200 || response.status > 299)
        co_return BridgeAPIError::http(response.status, response.body);
    Result<T, DecodeError> decoded = decode(response.body);
    if (!decoded.ok()) {
        qCInfo(lcApi) << "reply of" << outcome->status << "does not decode:" << decoded.error().path()
                      << decoded.error().expected();
        co_return BridgeAPIError::decode(decoded.error().description());
    }
    co_return std::move(decoded).value();
}

HttpRequest probeRequest(const QUrl& url, std::chrono::milliseconds timeout, const BridgeAPI& api)
{
    HttpRequest request;
    request.method = "GET";
    request.url = url;
    request.timeout = timeout;
    request.overallTimeout = timeout;
    return checked(std::move(request), api);
}

QCoro::Task<Result<int, BridgeAPIError>> probe(HttpRequest request)
{
    Outcome outcome = co_await sendOnce(std::move(request), 1);
    if (outcome.ok())
        co_return outcome->status;
    // A reply that is not HTTP is an answer too: status 0.
    if (outcome.error().kind() == BridgeAPIError::Kind::Http)
        co_return outcome.error().status();
    co_return outcome.error();
}

QCoro::Task<Result<bool, BridgeAPIError>> probeIsReady(HttpRequest request)
{
    Result<int, BridgeAPIError> status = co_await probe(std::move(request));
    if (!status.ok())
        co_return status.error();
    co_return status.value() == 200;
}

} // namespace

QUrl BridgeAPI::defaultBaseURL()
{
    return QUrl(QStringLiteral("http://127.0.0.1:8765"));
}

BridgeAPI::BridgeAPI(QUrl baseURL, ApiTimeouts timeouts, PortCheck portCheck)
    : m_baseURL(std::move(baseURL)), m_timeouts(timeouts), m_portCheck(std::move(portCheck))
{
}

BridgeAPI::Reply<bool> BridgeAPI::authStatus() const
{
    return probeIsReady(probeRequest(endpoint(m_baseURL, QStringLiteral("/api/auth/status")),
                                     m_timeouts.probeTimeout, *this));
}

BridgeAPI::Reply<int> BridgeAPI::probeStatus(const QUrl& url) const
{
    return probe(probeRequest(url, m_timeouts.pollTimeout, *this));
}

BridgeAPI::Reply<BridgeStateResponse> BridgeAPI::state() const
{
    return fetch<BridgeStateResponse>(getRequest(endpoint(m_baseURL, QStringLiteral("/api/state")), *this),
                                      m_timeouts.retryPause, &wire::decodeState);
}

BridgeAPI::Reply<QList<BridgeEvent>> BridgeAPI::events(int hours, int limit, CancelTokenPtr cancel) const
{
    const QUrl url = endpoint(m_baseURL, QStringLiteral("/api/events"),
                              {{QStringLiteral("hours"), QString::number(hours)},
                               {QStringLiteral("limit"), QString::number(limit)}});
    HttpRequest request = getRequest(url, *this);
    request.cancel = std::move(cancel);
    return fetch<QList<BridgeEvent>>(std::move(request), m_timeouts.retryPause, &wire::decodeEvents);
}

BridgeAPI::Reply<EventListResponse> BridgeAPI::eventsOfKind(const QString& kind, int hours, int limit,
                                                            CancelTokenPtr cancel) const
{
    const QUrl url = endpoint(m_baseURL, QStringLiteral("/api/events"),
                              {{QStringLiteral("kind"), kind},
                               {QStringLiteral("hours"), QString::number(hours)},
                               {QStringLiteral("limit"), QString::number(limit)}});
    HttpRequest request = getRequest(url, *this);
    request.cancel = std::move(cancel);
    return fetch<EventListResponse>(std::move(request), m_timeouts.retryPause, &wire::decodeEventList);
}

BridgeAPI::Reply<QList<BridgeEvent>> BridgeAPI::search(const QString& query, int hours, int limit,
                                                       CancelTokenPtr cancel) const
{
    const QUrl url = endpoint(m_baseURL, QStringLiteral("/api/search"),
                              {{QStringLiteral("q"), query},
                               {QStringLiteral("hours"), QString::number(hours)},
                               {QStringLiteral("limit"), QString::number(limit)}});
    HttpRequest request = getRequest(url, *this);
    request.cancel = std::move(cancel);
    return fetch<QList<BridgeEvent>>(std::move(request), m_timeouts.retryPause, &wire::decodeEvents);
}

BridgeAPI::Reply<AskResponse> BridgeAPI::ask(const QString& question, int hours) const
{
    const QUrl url =
        endpoint(m_baseURL, QStringLiteral("/api/ask"),
                 {{QStringLiteral("hours"), QString::number(hours)}, {QStringLiteral("q"), question}});
    return fetch<AskResponse>(getRequest(url, *this), m_timeouts.retryPause, &wire::decodeAskResponse);
}

BridgeAPI::Reply<ChatResponse> BridgeAPI::chat(const QString& message,
                                               const std::optional<QString>& sessionId) const
{
    QJsonObject body{{QStringLiteral("message"), message}};
    if (sessionId && !sessionId->isEmpty())
        body.insert(QStringLiteral("session_id"), *sessionId);
    return fetch<ChatResponse>(postRequest(endpoint(m_baseURL, QStringLiteral("/api/chat")), body, *this),
                               m_timeouts.retryPause, &wire::decodeChatResponse);
}

BridgeAPI::Reply<WeComScanResponse> BridgeAPI::scanVisibleWeCom() const
{
    const QJsonObject body{{QStringLiteral("force_backfill"), true}};
    return fetch<WeComScanResponse>(
        postRequest(endpoint(m_baseURL, QStringLiteral("/api/scan/wecom/visible")), body, *this),
        m_timeouts.retryPause, &wire::decodeWeComScanResponse);
}

BridgeAPI::Reply<NativeConfigSaveResponse> BridgeAPI::saveNativeConfig(const QJsonObject& settings) const
{
    return fetch<NativeConfigSaveResponse>(
        postRequest(endpoint(m_baseURL, QStringLiteral("/api/config/native/save")), settings, *this),
        m_timeouts.retryPause, &wire::decodeNativeConfigSaveResponse);
}

BridgeAPI::Reply<APIActionResponse> BridgeAPI::pushRemoteContext() const
{
    return fetch<APIActionResponse>(
        postRequest(endpoint(m_baseURL, QStringLiteral("/api/remote/context/push")), QJsonObject(), *this),
        m_timeouts.retryPause, &wire::decodeActionResponse);
}

BridgeAPI::Reply<APIActionResponse> BridgeAPI::completeTask(const QString& itemText) const
{
    const QJsonObject body{{QStringLiteral("item_text"), itemText}};
    return fetch<APIActionResponse>(
        postRequest(endpoint(m_baseURL, QStringLiteral("/api/tasks/complete")), body, *this),
        m_timeouts.retryPause, &wire::decodeActionResponse);
}

BridgeAPI::Reply<APIActionResponse> BridgeAPI::openConfigDir() const
{
    return fetch<APIActionResponse>(
        postRequest(endpoint(m_baseURL, QStringLiteral("/api/desktop/open-config-dir")), QJsonObject(),
                    *this),
        m_timeouts.retryPause, &wire::decodeActionResponse);
}
