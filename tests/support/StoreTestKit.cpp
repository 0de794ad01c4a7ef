#include "StoreTestKit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace storetestkit {

ApiTimeouts fastTimeouts()
{
    ApiTimeouts t;
    t.getTimeout = std::chrono::milliseconds(2'000);
    t.postTimeout = std::chrono::milliseconds(2'000);
    t.overallTimeout = std::chrono::milliseconds(3'000);
    t.retryPause = std::chrono::milliseconds(10);
    t.probeTimeout = std::chrono::milliseconds(2'000);
    t.pollTimeout = std::chrono::milliseconds(2'000);
    return t;
}

StoreTiming fastTiming(std::shared_ptr<QDateTime> clock)
{
    StoreTiming t;
    t.pollAttempts = 4;
    t.pollInterval = std::chrono::milliseconds(5);
    t.refreshInterval = std::chrono::milliseconds(60'000); // ticks only when a test wants them
    t.toastDuration = std::chrono::milliseconds(400);
    t.searchDelay = std::chrono::milliseconds(0);
    if (clock)
        t.now = [clock] { return *clock; };
    return t;
}

QByteArray stateBody(const QString& marker)
{
    const QJsonObject summary{{QStringLiteral("total_messages"), 2},
                              {QStringLiteral("action_items"), QJsonArray{marker}}};
    const QJsonObject state{{QStringLiteral("summary"), summary}};
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}

QByteArray eventsBody(const QStringList& contents, const QString& kind)
{
    QJsonArray events;
    int id = 1;
    for (const QString& text : contents) {
        events.append(QJsonObject{{QStringLiteral("id"), id++},
                                  {QStringLiteral("chat_target"), QStringLiteral("wecom")},
                                  {QStringLiteral("session_name"), QStringLiteral("项目群")},
                                  {QStringLiteral("content"), text}});
    }
    QJsonObject body{{QStringLiteral("events"), events}};
    if (!kind.isEmpty())
        body.insert(QStringLiteral("kind"), kind);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

void serveHealthyCore(FakeHttpServer& server, const QString& marker, const QStringList& events)
{
    server.reply("GET", QStringLiteral("/api/auth/status"), FakeHttpServer::json(R"({"ok":true})"));
    server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::json(stateBody(marker)));
    server.reply("GET", QStringLiteral("/api/events"), FakeHttpServer::json(eventsBody(events)));
}

Fixture makeStore(const QUrl& base, StoreTiming timing, ApiTimeouts timeouts, BridgeAPI::PortCheck portCheck)
{
    Fixture f;
    auto launcher = std::make_unique<FakeCoreLauncher>();
    f.launcher = launcher.get();
    f.launches = launcher->counters();
    f.store = std::make_unique<BridgeStore>(BridgeAPI(base, timeouts, std::move(portCheck)),
                                            std::move(launcher), std::move(timing));
    return f;
}

} // namespace storetestkit
