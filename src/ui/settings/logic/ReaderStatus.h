#pragma once

#include "model/BridgeStateResponse.h"
#include "ui/settings/logic/StatusTint.h"

#include <QString>
#include <optional>

// A chat client that is switched on but whose reader cannot read (the core's checklist item
// "wechat_source" / "wecom_source" is blocked: a reading mode this system lacks, no session
// bus, …): its editor says "未在读取" with the core's reason instead of "已开启".
namespace readerstatus {

struct NotReading
{
    StatusLook look; // "未在读取", warning icon, orange
    QString reason;  // the item's description

    bool operator==(const NotReading&) const = default;
};

// `client` is "wechat" or "wecom"; `switchedOn` is the draft's switch of that client.
std::optional<NotReading> notReading(const std::optional<BridgeStateResponse>& state, const QString& client,
                                     bool switchedOn);

} // namespace readerstatus
