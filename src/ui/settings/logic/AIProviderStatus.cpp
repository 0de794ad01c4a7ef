#include "ui/settings/logic/AIProviderStatus.h"

namespace aistatus {

QString problem(const std::optional<BridgeStateResponse>& state)
{
    if (!state || !state->setup || !state->setup->items)
        return {};
    if (state->config && state->config->aiProvider && state->config->aiProvider->enabled == false)
        return {}; // AI is off: nothing of it can fail
    for (const SetupItemSnapshot& item : *state->setup->items) {
        if (item.key == u"ai_provider" && item.status == QStringLiteral("error"))
            return item.description.value_or(QString()).trimmed();
    }
    return {};
}

} // namespace aistatus
