#include "core/BackgroundReadingSetup.h"

#include <QDir>

BackgroundReadingSetup BackgroundReadingSetup::system(const CoreEnvironment& facts)
{
    BackgroundReadingSetup setup;
    if (facts.resourcesDirectory)
        setup.autostartTemplate =
            *facts.resourcesDirectory + QStringLiteral("/autostart/") + setup.autostartName;
    const QString configHome = facts.environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    setup.autostartFolder =
        (QDir::isAbsolutePath(configHome) ? configHome : facts.homeDirectory + QStringLiteral("/.config")) +
        QStringLiteral("/autostart");
    setup.environment = facts.environment;
    return setup;
}
