#include "ui/settings/logic/RemoteAccessDerivations.h"

#include "store/BridgeStore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace remoteaccess {

namespace {

const AgentAccessSnapshot* accessOf(const State& state)
{
    return state && state->agentAccess ? &*state->agentAccess : nullptr;
}

std::optional<QString> firstOf(const std::optional<QStringList>& list)
{
    if (!list || list->isEmpty())
        return std::nullopt;
    return list->first();
}

std::optional<QString> localhostOf(const AgentAccessSnapshot* access)
{
    if (!access || !access->localhostUrl || access->localhostUrl->isEmpty())
        return std::nullopt;
    return access->localhostUrl;
}

bool tokenRequired(const State& state)
{
    const AgentAccessSnapshot* access = accessOf(state);
    return access && access->tokenRequired == true;
}

QString withoutSlashes(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == QLatin1Char('/'))
        ++start;
    while (end > start && text.at(end - 1) == QLatin1Char('/'))
        --end;
    return text.mid(start, end - start);
}

} // namespace

QString noWebsiteBridge()
{
    return QStringLiteral("未开启网站桥接");
}

QString waitingForWiFi()
{
    return QStringLiteral("等待同一 Wi-Fi 地址识别");
}

QString waitingForAgent()
{
    return QStringLiteral("等待本机接口启动");
}

QString tokenPlaceholder()
{
    return QStringLiteral("这里填远程访问口令");
}

QString publicMobileURL(const QString& websiteBridgeBaseURL, const QString& defaultOrigin)
{
    QString origin = websiteBridgeBaseURL.trimmed();
    if (origin.isEmpty())
        origin = defaultOrigin.trimmed();
    origin = withoutSlashes(origin);
    // No origin: a bare "/mobile.html#…" would be a link to nowhere.
    if (origin.isEmpty())
        return noWebsiteBridge();
    return origin + QStringLiteral("/mobile.html#remote-context");
}

QString publicMobileURL(const QString& websiteBridgeBaseURL)
{
    return publicMobileURL(websiteBridgeBaseURL, BridgeStore::websiteBridgeOrigin());
}

QString localMobileURL(const State& state)
{
    const AgentAccessSnapshot* access = accessOf(state);
    return firstOf(access ? access->mobileUrls : std::nullopt).value_or(waitingForWiFi());
}

bool hasLocalMobileURL(const State& state)
{
    const AgentAccessSnapshot* access = accessOf(state);
    const std::optional<QString> first = firstOf(access ? access->mobileUrls : std::nullopt);
    return first && !first->isEmpty();
}

QString agentURL(const State& state)
{
    const AgentAccessSnapshot* access = accessOf(state);
    if (const auto localhost = localhostOf(access))
        return *localhost;
    return firstOf(access ? access->lanUrls : std::nullopt).value_or(waitingForAgent());
}

bool hasAgentURL(const State& state)
{
    const AgentAccessSnapshot* access = accessOf(state);
    if (localhostOf(access))
        return true;
    const std::optional<QString> lan = firstOf(access ? access->lanUrls : std::nullopt);
    return lan && !lan->isEmpty();
}

QString agentAccessBundle(const State& state, const QString& remoteAccessToken)
{
    QString token = remoteAccessToken.trimmed();
    if (token.isEmpty())
        token = tokenPlaceholder();
    return QStringLiteral("URL: ") + agentURL(state) + QStringLiteral("\nHeader: Quillmere: ") + token +
           QStringLiteral("\n用法：在 OpenClaw / Hermes 新建 HTTP 读取步骤，填入 URL，并添加上面的 Header。");
}

QString mcpURL(const State& state)
{
    if (!hasAgentURL(state))
        return waitingForAgent();
    QUrl url(agentURL(state));
    url.setPath(QStringLiteral("/mcp"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url.toString();
}

QString mcpConfig(const State& state, const QString& remoteAccessToken)
{
    QJsonObject server{{QStringLiteral("type"), QStringLiteral("http")},
                       {QStringLiteral("url"), mcpURL(state)}};
    const QString token = remoteAccessToken.trimmed();
    if (!token.isEmpty() || tokenRequired(state)) {
        const QString bearer = QStringLiteral("Bearer ") + (token.isEmpty() ? tokenPlaceholder() : token);
        server.insert(QStringLiteral("headers"), QJsonObject{{QStringLiteral("Authorization"), bearer}});
    }
    const QJsonObject config{{QStringLiteral("mcpServers"), QJsonObject{{QStringLiteral("razo"), server}}}};
    return QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Indented)).trimmed();
}

QString mcpUsage(const State& state, const QString& remoteAccessToken)
{
    QString usage = QStringLiteral("用于支持 MCP（HTTP 方式）的桌面 AI 客户端、IDE 里的 Agent 和命令行 "
                                   "Agent：把它合并进客户端的 MCP 服务器配置。");
    if (!remoteAccessToken.trimmed().isEmpty())
        usage += QStringLiteral("配置里带着远程访问口令，不要发给别人。");
    else if (tokenRequired(state))
        usage += QStringLiteral("粘贴后把“这里填远程访问口令”换成你设置的口令。");
    return usage;
}

QString tokenFieldTitle(const State& state)
{
    return tokenRequired(state) ? QStringLiteral("远程访问口令（当前已设置）")
                                : QStringLiteral("远程访问口令（当前未设置）");
}

bool copyAllowed(const QString& value, bool canCopy)
{
    return canCopy && !value.startsWith(QStringLiteral("等待")) &&
           !value.startsWith(QStringLiteral("未开启"));
}

QString syncLabel(bool syncing)
{
    return syncing ? QStringLiteral("同步中") : QStringLiteral("同步到网站桥接");
}

} // namespace remoteaccess
