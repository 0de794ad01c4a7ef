#include "ui/common/logic/SetupItems.h"

namespace setupitems {

std::optional<SetupItemSnapshot> find(const std::optional<BridgeStateResponse>& state, QStringView key)
{
    if (!state || !state->setup || !state->setup->items)
        return std::nullopt;
    for (const SetupItemSnapshot& item : *state->setup->items) {
        if (item.key == key)
            return item;
    }
    return std::nullopt;
}

bool showsDemoData(const std::optional<BridgeStateResponse>& state)
{
    return find(state, u"demo_data").has_value();
}

} // namespace setupitems
