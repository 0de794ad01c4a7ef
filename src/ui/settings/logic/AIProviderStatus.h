#pragma once

#include "model/BridgeStateResponse.h"

#include <QString>
#include <optional>

// What the AI card says about the core's AI provider: the core keeps the outcome of its
// provider calls in its setup checklist (item "ai_provider"). When the latest call failed
// (status "error") this is the item's description, which names the failure and its time;
// otherwise (and always while AI is switched off) empty text.
namespace aistatus {

QString problem(const std::optional<BridgeStateResponse>& state);

} // namespace aistatus
