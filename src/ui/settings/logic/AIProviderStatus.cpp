#include "ui/settings/logic/AIProviderStatus.h"

namespace aistatus {

QString problem(const std::optional<BridgeStateResponse>& state)
{
    if (!state || !state->setup || !state->setup->items)
        return {};
    for (const SetupItemSnapshot& item : *state->setup->items) {
        if (item.key == u"ai_provider" && item.status == QStringLiteral("error"))
            return item.description.value_or(QString()).trimmed();
    }
    return {};
}

} // namespace aistatus
