#include "ui/settings/logic/ReaderStatus.h"

#include "ui/common/logic/SetupItems.h"

namespace readerstatus {

std::optional<NotReading> notReading(const std::optional<BridgeStateResponse>& state, const QString& client,
                                     bool switchedOn)
{
    if (!switchedOn)
        return std::nullopt;
    const std::optional<SetupItemSnapshot> item =
        setupitems::find(state, QString(client + QStringLiteral("_source")));
    if (!item || item->status != QStringLiteral("blocked"))
        return std::nullopt;
    return NotReading{
        {QStringLiteral("未在读取"), QStringLiteral("exclamationmark.triangle.fill"), StatusTint::Orange},
        item->description.value_or(QString()).trimmed()};
}

} // namespace readerstatus
