#include "ui/overview/logic/ProfilePrompt.h"

#include "ui/common/logic/SetupItems.h"

namespace profileprompt {

QString text()
{
    return QStringLiteral("设置你的姓名，razo 才能找出找你的消息");
}

bool isShown(const std::optional<BridgeStateResponse>& state)
{
    if (!state || !state->config || setupitems::showsDemoData(state))
        return false;
    const UserProfileSnapshot profile = state->config->userProfile.value_or(UserProfileSnapshot{});
    if (!profile.displayName.value_or(QString()).trimmed().isEmpty())
        return false;
    for (const QString& alias : profile.aliases.value_or(QStringList{})) {
        if (!alias.trimmed().isEmpty())
            return false;
    }
    return true;
}

} // namespace profileprompt
