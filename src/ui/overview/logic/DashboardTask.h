#pragma once

#include <QString>

// One to-do of the overview's to-do card. `rawText` is the item exactly as the core wrote it:
// it identifies the task and is what gets sent back when the task is completed.
struct DashboardTask
{
    QString rawText;
    QString text; // display text
    QString due;  // short time label

    bool operator==(const DashboardTask&) const = default;
};
