#pragma once

#include "model/BridgeStateResponse.h"

#include <QStringView>
#include <optional>

// The core's setup checklist (state → setup → items), read by key.
namespace setupitems {

// The first item with this key; absent when the state, its checklist or the item is.
std::optional<SetupItemSnapshot> find(const std::optional<BridgeStateResponse>& state, QStringView key);

// Whether the core still shows its demo data (the checklist holds the item "demo_data").
bool showsDemoData(const std::optional<BridgeStateResponse>& state);

} // namespace setupitems
