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
    // What each card's title counts (with a current core: the whole period's count, of which the
    // card shows the first rows; "更多 N 条" is the rest).
    int todoCount = 0;
    int importantCount = 0;
    int meetingCount = 0;
    int followUpCount = 0;
    qint64 attentionCount = 0; // "有 N 条最近消息需要关注。"

    bool operator==(const DashboardContent&) const = default;
};
