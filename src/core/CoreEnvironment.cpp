#include "core/CoreEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

CoreEnvironment CoreEnvironment::system()
{
    CoreEnvironment facts;
    facts.homeDirectory = QDir::homePath();
    facts.currentDirectory = QDir::currentPath();
    facts.applicationDirectory =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : facts.currentDirectory;
    if (QCoreApplication::instance())
        facts.executable = QCoreApplication::applicationFilePath();
    const QString resources = QDir::cleanPath(facts.applicationDirectory + QStringLiteral("/../share/razo"));
    if (QFileInfo(resources).isDir())
        facts.resourcesDirectory = resources;
    facts.environment = QProcessEnvironment::systemEnvironment();
    return facts;
}
