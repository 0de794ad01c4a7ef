#pragma once

#include "model/BridgeEvent.h"
#include "model/BridgeStateResponse.h"

#include <QStringList>
#include <optional>

// Small builders for the chat-rule tests.
namespace chatfixtures {

// A message; an empty target, session or sender stands for an absent field.
inline BridgeEvent ev(const QString& target, const QString& session, const QString& sender,
                      const QString& content)
{
    BridgeEvent e;
    if (!target.isEmpty())
        e.chatTarget = target;
    if (!session.isEmpty())
        e.sessionName = session;
    if (!sender.isEmpty())
        e.senderName = sender;
    e.content = content;
    return e;
}

// A state whose user profile holds this name and these aliases.
inline std::optional<BridgeStateResponse> stateWith(const std::optional<QString>& name,
                                                    const std::optional<QStringList>& aliases)
{
    BridgeStateResponse state;
    state.config = ConfigSnapshot{};
    state.config->userProfile = UserProfileSnapshot{name, aliases};
    return state;
}

// No state at all for an empty list, else a profile with only these aliases.
inline std::optional<BridgeStateResponse> aliasState(const QStringList& aliases)
{
    if (aliases.isEmpty())
        return std::nullopt;
    return stateWith(std::nullopt, aliases);
}

} // namespace chatfixtures
