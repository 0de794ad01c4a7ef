#pragma once

#include "model/BridgeEvent.h"
#include "ui/overview/logic/DashboardTask.h"

#include <QList>
#include <QStringList>

// Everything the overview cards show, derived in one pass from the store's state and events.
struct DashboardContent
{
    QList<DashboardTask> todoItems;
    QList<BridgeEvent> importantEvents;
    QStringList meetingRows;
    QStringList followUpItems;
    QStringList suggestionItems;
    qint64 totalMessages = 0;
    int meetingCount = 0;
    int followUpCount = 0;

    bool operator==(const DashboardContent&) const = default;
};
