#pragma once

#include <QString>

// Whether the core starts at login (razo's switch "登录后在后台读取消息"), as read back from
// systemd and from the user's autostart folder, and whether it can be turned on here.
struct BackgroundReadingState
{
    // The two ways the core can start at login.
    enum class Way {
        None,
        Unit,      // the systemd user unit, where the session has a user manager
        Autostart, // the XDG autostart entry in the user's autostart folder
    };

    bool known = false;            // false until it has been read once
    bool unitEnabled = false;      // `systemctl --user is-enabled <unit>` says enabled
    bool autostartInPlace = false; // the entry is in the user's autostart folder (not hidden)
    Way route = Way::None;         // how turning it on goes here; None: it cannot be turned on
    QString obstacle;              // why it cannot be turned on (route None)
    QString failure;               // why the last change was not made; empty when it was

    bool enabled() const { return unitEnabled || autostartInPlace; }
    // Whether the switch can do anything: turn off what is on, or turn on by `route`.
    bool canChange() const { return enabled() || route != Way::None; }
    // The line under the switch: what is on and what that means, or why it cannot be turned on.
    QString description() const;

    bool operator==(const BackgroundReadingState&) const = default;
};
