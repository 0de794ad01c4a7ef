#pragma once

// Small read-outs of views shared by the widget tests.

#include "ui/messages/MessagesView.h"

#include <QStringList>

// The stable ids of the rows the timeline shows, top to bottom.
inline QStringList shownIds(const MessagesView& view)
{
    QStringList ids;
    for (const BridgeEvent& e : view.shownEvents())
        ids << e.stableId();
    return ids;
}
