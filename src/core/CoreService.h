#pragma once

#include "common/Result.h"
#include "core/CoreEnvironment.h"
#include "core/CoreLauncher.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QFile;
class QProcess;

// Finds the local core (a packaged QuillmereCore in the resources, or the msgrelay
// project run by /usr/bin/python3), launches it as a child with its output appended to
// native-core.log, and stops it again. One per store; used on the main thread only.
//
// States: idle (no child held), running (child held and running), ended (child held,
// exited on its own; its log handle was already closed when it finished). start() from
// idle or ended launches a new child, start() while running does nothing; stop() and
// leave() return to idle.
//
// The core outlives the application: the application leave()s it when it quits, and the
// next start-up finds it answering. The child runs in a session of its own, so a Ctrl+C or
// a hang-up aimed at the terminal's foreground process group (razo's) does not reach it.
//
// Lifetime of the child's QProcess: QProcess's destructor kills a running child and blocks
// until it is gone (with a warning). Neither stop() nor leave() may do that, so a QProcess
// whose child still runs is handed over to itself instead: it is parentless and deletes
// itself (deleteLater) once it reports finished. stop() asks the child to terminate first;
// if the child ignores the request, or was left running, that QProcess simply stays alive
// with it; nothing blocks and nothing is printed, and when the application exits the object
// is never destroyed, so the child runs on. A QProcess whose child has already ended is
// deleted at once.
class CoreService : public CoreLauncher
{
public:
    explicit CoreService(CoreEnvironment environment = CoreEnvironment::system());
    ~CoreService() override;

    CoreService(const CoreService&) = delete;
    CoreService& operator=(const CoreService&) = delete;

    // Searches for the project directory, then launches.
    std::optional<CoreServiceError> start() override;
    // Launches the core in `projectRoot`, or in the searched project directory when none
    // is given. Does nothing while the child launched earlier still runs.
    std::optional<CoreServiceError> start(std::optional<QString> projectRoot);
    void stop() override;
    void leave() override;

    // Where the core lives: the packaged core's folder, else QUILLMERE_PROJECT_DIR (verbatim,
    // when not empty), else the trimmed path in resources/project-root.txt, else the first
    // directory holding msgrelay/cli.py found walking up (8 directories each) from the
    // current directory, the application directory and the resources directory.
    static Result<QString, CoreServiceError> resolveProjectRoot(const CoreEnvironment& environment);

    // The facts this launcher was given.
    const CoreEnvironment& environment() const { return m_environment; }
    // Process id of the child held (running or ended); none when idle.
    std::optional<qint64> processId() const;
    bool isRunning() const;
    // Whether the log handle of the child held is still open.
    bool isLogOpen() const;

private:
    // resources/QuillmereCore/QuillmereCore when it is a file this user may execute.
    static std::optional<QString> bundledHelperURL(const CoreEnvironment& environment);
    // Creates the support directory and an empty native-core.log (0600) if missing, takes group
    // and other access away from an existing one, refuses a link in its place; its path.
    static Result<QString, CoreServiceError> prepareLogFile(const CoreEnvironment& environment);
    // Deletes `process`, or lets it delete itself once its child has finished.
    static void release(QProcess* process);

    CoreEnvironment m_environment;
    QProcess* m_process = nullptr;
    qint64 m_processId = 0; // QProcess forgets it once the child has ended
    std::shared_ptr<QFile> m_logHandle;
};
