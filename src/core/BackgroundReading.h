#pragma once

#include "core/BackgroundReadingSetup.h"
#include "core/BackgroundReadingState.h"

#include <QCoroTask>

// Starts the core at login, or stops doing so, by the user's choice: through the systemd
// user unit where the desktop session runs under a user manager (its graphical-session.target
// is active), else through razo's XDG autostart entry copied into the user's autostart folder.
// Never both: turning it on uses one way, turning it off undoes both. The state is always
// read back (systemctl --user is-enabled, the autostart file), never remembered.
//
// The operations copy the setup into their own frame and never touch this object after an
// await, so an owner may go away while systemctl runs.
class BackgroundReading
{
public:
    explicit BackgroundReading(BackgroundReadingSetup setup) : m_setup(std::move(setup)) {}

    QCoro::Task<BackgroundReadingState> read() const { return readWith(m_setup); }
    // Turns it on or off; the state read back afterwards, with `failure` saying why nothing
    // changed (what was on or off stays so; a half-made change is undone).
    QCoro::Task<BackgroundReadingState> setEnabled(bool on) const { return changeWith(m_setup, on); }

private:
    static QCoro::Task<BackgroundReadingState> readWith(BackgroundReadingSetup setup);
    static QCoro::Task<BackgroundReadingState> changeWith(BackgroundReadingSetup setup, bool on);

    BackgroundReadingSetup m_setup;
};
