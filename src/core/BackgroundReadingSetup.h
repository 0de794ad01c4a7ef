#pragma once

#include "core/CoreEnvironment.h"

#include <QProcessEnvironment>
#include <QString>

#include <chrono>

// What BackgroundReading works with: the names of the user unit and of the autostart entry
// that start the core at login, the entry installed with razo (copied into the user's
// autostart folder where there is no systemd user manager), that folder, the environment
// whose PATH finds systemctl and how long one systemctl call may take. Tests hand it
// temporary folders and a PATH that leads to a stand-in systemctl.
struct BackgroundReadingSetup
{
    QString unitName = QStringLiteral(RAZO_CORE_UNIT);
    QString autostartName = QStringLiteral(RAZO_CORE_AUTOSTART);
    // The entry installed with razo, <resources>/autostart/<autostartName>; empty: none (a
    // razo run from its build tree has neither this entry nor the unit).
    QString autostartTemplate;
    // $XDG_CONFIG_HOME/autostart when that is an absolute path, else ~/.config/autostart.
    QString autostartFolder;
    QProcessEnvironment environment;
    std::chrono::milliseconds timeout{10000};

    // For this process, from the launcher's facts (home, resources directory, environment).
    static BackgroundReadingSetup system(const CoreEnvironment& facts);
};
