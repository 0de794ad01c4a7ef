#pragma once

#include "model/BridgeEvent.h"
#include "store/MessageListPreset.h"

#include <QList>

// The core's answer for a timeline preset: the messages of that kind of the last `hours` hours
// as the overview's lists order them, those the overview's card lists first; `limit` is how many
// the core was asked for at most.
struct PresetResult
{
    MessageListPreset preset = MessageListPreset::All;
    QList<BridgeEvent> events;
    int hours = 0;
    int limit = 0;

    bool operator==(const PresetResult&) const = default;
};
