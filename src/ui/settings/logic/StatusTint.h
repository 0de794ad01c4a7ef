#pragma once

#include <QString>

// The colour role of a status (pill, icon, editor status); the views map it to a colour.
enum class StatusTint {
    Green,     // system green
    Orange,    // system orange
    Red,       // system red
    Secondary, // the secondary foreground colour
};

// Title, symbol icon name and tint of a status pill.
struct StatusLook
{
    QString title;
    QString icon;
    StatusTint tint = StatusTint::Secondary;

    bool operator==(const StatusLook&) const = default;
};
