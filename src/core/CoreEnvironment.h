#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <optional>

// The facts about this process that the launcher looks at: where home is, where the
// process runs from, where the application and its resources live, and the environment
// that the core child inherits. The launcher reads them only through this value, so
// tests hand it temporary directories and a made-up environment.
//
// How `system()` maps them on Linux:
//   home directory         QDir::homePath() ($HOME)
//   current directory      QDir::currentPath()
//   application directory the folder of the running executable
//                          (QCoreApplication::applicationDirPath(), e.g. <prefix>/bin)
//   resources directory    <application directory>/../share/razo, if that directory exists;
//                          otherwise the application has no resources directory.
//                          In the build tree this is build/share/razo next to build/bin/razo,
//                          and CMake writes build/share/razo/project-root.txt pointing at the
//                          checkout; an installed razo uses <prefix>/share/razo (installed with
//                          that same project-root.txt). A packaged core goes to
//                          <resources>/QuillmereCore/QuillmereCore.
//   environment            QProcessEnvironment::systemEnvironment()
//   executable             the running executable (QCoreApplication::applicationFilePath()),
//                          handed to the core so that a click on one of its desktop
//                          notifications starts this razo
struct CoreEnvironment
{
    QString homeDirectory;
    QString currentDirectory;
    QString applicationDirectory;
    QString executable; // empty: the core looks for razo on its PATH
    std::optional<QString> resourcesDirectory;
    QProcessEnvironment environment;

    // The facts of the running process as mapped above. Needs a QCoreApplication for the
    // application directory; without one it falls back to the current directory.
    static CoreEnvironment system();
};
