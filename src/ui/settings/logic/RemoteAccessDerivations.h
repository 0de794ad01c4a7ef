#pragma once

#include "model/BridgeStateResponse.h"

#include <QString>
#include <optional>

// The addresses of the remote and agent access card, derived at each redraw from the
// state's agent access record and the settings draft. Pure functions.
namespace remoteaccess {

using State = std::optional<BridgeStateResponse>;

// The website-bridge origin (trimmed; the default origin when blank), without "/" at either
// end, followed by "/mobile.html#remote-context"; "未开启网站桥接" (never copied) when there
// is no origin at all.
QString publicMobileURL(const QString& websiteBridgeBaseURL, const QString& defaultOrigin);
QString publicMobileURL(const QString& websiteBridgeBaseURL); // with the store's origin

// First same-Wi-Fi phone address, or "等待同一 Wi-Fi 地址识别".
QString localMobileURL(const State& state);
bool hasLocalMobileURL(const State& state);
// localhost address when not empty, else the first LAN address, else "等待本机接口启动".
QString agentURL(const State& state);
bool hasAgentURL(const State& state);

// Three lines for an agent's HTTP read step: URL, the fixed header "Quillmere" with the
// trimmed token (or a placeholder), and the usage line.
QString agentAccessBundle(const State& state, const QString& remoteAccessToken);

// The agent address's origin with the path "/mcp" (the core's MCP endpoint), or the waiting text.
QString mcpURL(const State& state);
// The MCP client configuration: {"mcpServers": {"razo": {"type": "http", "url": mcpURL}}}, with the
// header "Authorization: Bearer <token>" when a token is typed, or with the placeholder token when
// the core requires one (razo never learns a saved token).
QString mcpConfig(const State& state, const QString& remoteAccessToken);
// Which clients read that configuration, and what to replace or keep to oneself in it.
QString mcpUsage(const State& state, const QString& remoteAccessToken);

// "远程访问口令（当前已设置）" when the core requires a token, else "…（当前未设置）".
QString tokenFieldTitle(const State& state);

// Whether a copy button may copy `value`: never a waiting or switched-off text.
bool copyAllowed(const QString& value, bool canCopy);

QString syncLabel(bool syncing); // "同步到网站桥接" / "同步中"

QString noWebsiteBridge();  // "未开启网站桥接"
QString waitingForWiFi();   // "等待同一 Wi-Fi 地址识别"
QString waitingForAgent();  // "等待本机接口启动"
QString tokenPlaceholder(); // "这里填远程访问口令"

} // namespace remoteaccess
