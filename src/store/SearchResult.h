#pragma once

#include "model/BridgeEvent.h"

#include <QList>
#include <QString>

// The core's answer to a timeline search: the stored messages of the last `hours` hours that
// match `query` (trimmed), newest first; `limit` is how many the core was asked for at most.
struct SearchResult
{
    QString query;
    QList<BridgeEvent> events;
    int hours = 0;
    int limit = 0;

    bool operator==(const SearchResult&) const = default;
};
