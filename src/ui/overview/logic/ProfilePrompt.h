#pragma once

#include "model/BridgeStateResponse.h"

#include <QString>
#include <optional>

// The overview's one-line prompt to say who the user is: without a name or an alias the core
// cannot tell which messages are for the user. While the demo data is shown the demo's own
// person stands in, so the prompt waits for the first real message.
namespace profileprompt {

QString text(); // "设置你的姓名，razo 才能找出找你的消息"

// True once the state shows real messages (no "demo_data" item in its checklist) while its
// configuration holds neither a name nor an alias (blank ones count as none).
bool isShown(const std::optional<BridgeStateResponse>& state);

} // namespace profileprompt
