#pragma once

#include "model/BridgeEvent.h"
#include "model/BridgeStateResponse.h"

#include <QStringList>
#include <optional>

// Small builders for the chat-rule and timeline tests.
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

// The message with the core's sorting: the flags named in `flags` ("todo follow_up meeting
// important suspicious mine excluded done") hold; `due` when not empty.
inline BridgeEvent sortedAs(BridgeEvent e, const QString& flags, const QString& due = QString())
{
    const auto on = [list = flags.split(u' ')](const char* flag) {
        return list.contains(QLatin1String(flag));
    };
    e.sorting =
        EventSorting{on("todo"),      on("follow_up"),  on("meeting"),
                     on("important"), on("suspicious"), on("mine"),
                     on("excluded"),  on("done"),       due.isEmpty() ? std::nullopt : std::optional(due)};
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
