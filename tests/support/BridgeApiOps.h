#pragma once

#include "AwaitTask.h"
#include "FakeHttpServer.h"
#include "api/BridgeAPI.h"

#include <QHash>
#include <QJsonObject>
#include <QString>

// Shared pieces of the BridgeAPI tests: short time-outs, where each operation goes with a
// body that decodes as its reply, running an operation by name, and scripted server
// behaviour ("drop,ok").

namespace apitest {

using namespace std::chrono_literals;
using Action = FakeHttpServer::Action;
inline ApiTimeouts shortTimeouts()
{
    ApiTimeouts t;
    t.getTimeout = 300ms;
    t.postTimeout = 300ms;
    t.overallTimeout = 2000ms;
    t.retryPause = 20ms;
    t.probeTimeout = 300ms;
    t.pollTimeout = 300ms;
    return t;
}

// Where each operation goes and a body that decodes as its reply.
struct Route
{
    QByteArray method;
    QString path;
    QByteArray okBody;
};

inline Route routeOf(const QString& op)
{
    static const QHash<QString, Route> routes{
        {"state", {"GET", "/api/state", "{}"}},
        {"events", {"GET", "/api/events", R"({"events":[{"id":1,"content":"x"}]})"}},
        {"ask", {"GET", "/api/ask", R"({"answer":"a"})"}},
        {"chat", {"POST", "/api/chat", R"({"message":"hi","session_id":"s1"})"}},
        {"scanVisibleWeCom", {"POST", "/api/scan/wecom/visible", R"({"ok":true,"inserted":2})"}},
        {"saveNativeConfig", {"POST", "/api/config/native/save", R"({"ok":true})"}},
        {"pushRemoteContext", {"POST", "/api/remote/context/push", R"({"mobile_url":"m"})"}},
        {"completeTask", {"POST", "/api/tasks/complete", R"({"ok":true})"}},
        {"openConfigDir", {"POST", "/api/desktop/open-config-dir", "{}"}},
    };
    return routes.value(op);
}

struct Outcome
{
    bool finished = false;
    bool ok = false;
    BridgeAPIError error = BridgeAPIError::transport({});
};

template <typename T> Outcome collect(QCoro::Task<Result<T, BridgeAPIError>>&& task)
{
    Outcome out;
    auto result = razotest::awaitTask(std::move(task));
    if (!result)
        return out;
    out.finished = true;
    out.ok = result->ok();
    if (!out.ok)
        out.error = result->error();
    return out;
}

inline Outcome runOp(const BridgeAPI& api, const QString& op)
{
    if (op == "state")
        return collect(api.state());
    if (op == "events")
        return collect(api.events(168, 120));
    if (op == "ask")
        return collect(api.ask("q", 168));
    if (op == "chat")
        return collect(api.chat("hello", std::nullopt));
    if (op == "scanVisibleWeCom")
        return collect(api.scanVisibleWeCom());
    if (op == "saveNativeConfig")
        return collect(api.saveNativeConfig(QJsonObject{{"user_name", "me"}}));
    if (op == "pushRemoteContext")
        return collect(api.pushRemoteContext());
    if (op == "completeTask")
        return collect(api.completeTask("写周报"));
    if (op == "openConfigDir")
        return collect(api.openConfigDir());
    qFatal("unknown operation");
}

// "drop,ok" -> the server drops the first request and answers the second.
inline QList<Action> script(const QString& text, const Route& route)
{
    QList<Action> actions;
    for (const QString& step : text.split(',')) {
        if (step == "ok")
            actions.append(FakeHttpServer::json(route.okBody));
        else if (step == "drop")
            actions.append(Action::drop());
        else if (step == "stall")
            actions.append(Action::stall());
        else if (step == "garbage")
            actions.append(Action::garbage());
        else if (step == "truncated")
            actions.append(Action::raw("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n{\"ev"));
        else
            actions.append(Action::reply(step.toInt(), "boom"));
    }
    return actions;
}

} // namespace apitest
