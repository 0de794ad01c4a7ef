#pragma once

#include "api/BridgeAPIError.h"
#include "common/CancelToken.h"
#include "common/Result.h"
#include "model/ActionReplies.h"
#include "model/BridgeEvent.h"
#include "model/BridgeStateResponse.h"

#include <QJsonObject>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>

#include <QCoroTask>

// Time-outs and the retry pause of the client. Defaults are the fixed values; tests
// inject short ones.
struct ApiTimeouts
{
    std::chrono::milliseconds getTimeout{15'000};     // per GET request
    std::chrono::milliseconds postTimeout{35'000};    // per POST request
    std::chrono::milliseconds overallTimeout{45'000}; // whole transfer, whatever happens
    std::chrono::milliseconds retryPause{350};        // before the one retry
    // The start-up probe and each poll of the wait for the core. A core answers its
    // auth-status path in milliseconds; one that accepts connections but never answers
    // must not hold start-up for a platform's default minute per request.
    std::chrono::milliseconds probeTimeout{2'000}; // the probe whether a core already answers
    std::chrono::milliseconds pollTimeout{1'000};  // each poll while a launched core comes up
};

// The one HTTP client for every endpoint of the local core. Immutable after creation;
// every call is one request, two when the retry for a refused or dropped connection fires.
class BridgeAPI
{
public:
    template <typename T> using Reply = QCoro::Task<Result<T, BridgeAPIError>>;
    // Asked with the port once each connection is made, before anything is written to it: a
    // text refuses the program there (the call fails with ForeignCore, carrying the text).
    using PortCheck = std::function<std::optional<QString>(quint16 port)>;

    static QUrl defaultBaseURL(); // http://127.0.0.1:8765

    explicit BridgeAPI(QUrl baseURL = defaultBaseURL(), ApiTimeouts timeouts = {}, PortCheck portCheck = {});

    const QUrl& baseURL() const { return m_baseURL; }
    const ApiTimeouts& timeouts() const { return m_timeouts; }
    const PortCheck& portCheck() const { return m_portCheck; }

    // GET /api/auth/status as a plain probe (no retry): true exactly for HTTP 200.
    Reply<bool> authStatus() const;
    // A plain GET of any address, reporting the HTTP status (0 when the reply is not HTTP).
    // Used by the store's start-up polls; no retry, poll time-out.
    Reply<int> probeStatus(const QUrl& url) const;

    Reply<BridgeStateResponse> state() const;
    // A cancelled `cancel` token ends the load at once with the Cancelled error.
    Reply<QList<BridgeEvent>> events(int hours, int limit, CancelTokenPtr cancel = {}) const;
    // GET /api/events?kind=…: the messages of one kind of the overview ("todo", "follow_up",
    // "important" or "meeting") over the last `hours` hours, at most `limit`, with the core's echo
    // of the kind. An older core ignores the parameter: its reply has no echo.
    Reply<EventListResponse> eventsOfKind(const QString& kind, int hours, int limit,
                                          CancelTokenPtr cancel = {}) const;
    // GET /api/search: the stored messages of the last `hours` hours that match `query` by the
    // timeline's search rule, newest first, at most `limit`. An older core answers 404.
    Reply<QList<BridgeEvent>> search(const QString& query, int hours, int limit,
                                     CancelTokenPtr cancel = {}) const;
    Reply<AskResponse> ask(const QString& question, int hours) const;
    Reply<ChatResponse> chat(const QString& message, const std::optional<QString>& sessionId) const;
    Reply<WeComScanResponse> scanVisibleWeCom() const;
    Reply<NativeConfigSaveResponse> saveNativeConfig(const QJsonObject& settings) const;
    Reply<APIActionResponse> pushRemoteContext() const;
    Reply<APIActionResponse> completeTask(const QString& itemText) const;
    Reply<APIActionResponse> openConfigDir() const;

private:
    QUrl m_baseURL;
    ApiTimeouts m_timeouts;
    PortCheck m_portCheck;
};
