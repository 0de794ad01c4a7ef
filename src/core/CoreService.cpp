#include "core/CoreService.h"

#include "common/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

const QString kSupportSuffix = QStringLiteral("/Library/Application Support/Quillmere");
const QString kConfigSuffix = QStringLiteral("/Library/Application Support/Quillmere/bridge.config.json");
const QString kLogName = QStringLiteral("native-core.log");
const QString kPackagedCore = QStringLiteral("QuillmereCore");
const QString kInterpreter = QStringLiteral("/usr/bin/python3");
const QString kProjectMarker = QStringLiteral("msgrelay/cli.py");
const QString kPointerFile = QStringLiteral("project-root.txt");
const QString kProjectDirVariable = QStringLiteral("QUILLMERE_PROJECT_DIR");
const QString kBundledVariable = QStringLiteral("QUILLMERE_BUNDLED_CORE");
const QString kSearchPathVariable = QStringLiteral("PYTHONPATH");
// razo's own executable: what a click on one of the core's desktop notifications starts.
const QString kExecutableVariable = QStringLiteral("RAZO_EXECUTABLE");
constexpr int kWalkDepth = 8; // the start directory and 7 parents
constexpr int kStartTimeoutMs = 30000;

QString joinPath(const QString& directory, const QString& name)
{
    return directory.endsWith(u'/') ? directory + name : directory + u'/' + name;
}

// The trimmed path in the pointer file; none when it is missing, unreadable, not UTF-8
// or blank.
std::optional<QString> readPointerFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

std::optional<QString> walkUp(const QString& start)
{
    if (start.isEmpty())
        return std::nullopt;
    QString directory = QDir::cleanPath(start);
    for (int level = 0; level < kWalkDepth; ++level) {
        if (QFileInfo::exists(joinPath(directory, kProjectMarker)))
            return directory;
        directory = QFileInfo(directory).path();
    }
    return std::nullopt;
}

QStringList coreArguments(const QString& configPath)
{
    return {QStringLiteral("--config"),
            configPath,
            QStringLiteral("desktop"),
            QStringLiteral("--host"),
            QStringLiteral("0.0.0.0"),
            QStringLiteral("--port"),
            QStringLiteral("8765"),
            QStringLiteral("--no-browser"),
            QStringLiteral("--no-native-window")};
}

} // namespace

CoreService::CoreService(CoreEnvironment environment) : m_environment(std::move(environment)) {}

CoreService::~CoreService()
{
    stop();
}

std::optional<CoreServiceError> CoreService::start()
{
    return start(std::nullopt);
}

std::optional<CoreServiceError> CoreService::start(std::optional<QString> projectRoot)
{
    if (isRunning())
        return std::nullopt;

    QString projectDirectory;
    if (projectRoot) {
        projectDirectory = *projectRoot;
    } else {
        auto resolved = resolveProjectRoot(m_environment);
        if (!resolved)
            return resolved.error();
        projectDirectory = resolved.value();
    }

    const QString configPath = m_environment.homeDirectory + kConfigSuffix;
    auto logPath = prepareLogFile(m_environment);
    if (!logPath)
        return logPath.error();
    const std::optional<QString> packagedCore = bundledHelperURL(m_environment);

    auto process = std::make_unique<QProcess>();
    process->setWorkingDirectory(projectDirectory);
    QProcessEnvironment childEnvironment = m_environment.environment;
    if (packagedCore) {
        process->setProgram(*packagedCore);
        process->setArguments(coreArguments(configPath));
        childEnvironment.insert(kBundledVariable, QStringLiteral("1"));
    } else {
        process->setProgram(kInterpreter);
        process->setArguments(
            QStringList{QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("msgrelay.cli")} +
            coreArguments(configPath));
        childEnvironment.insert(kSearchPathVariable, projectDirectory);
    }
    if (!m_environment.executable.isEmpty())
        childEnvironment.insert(kExecutableVariable, m_environment.executable);
    process->setProcessEnvironment(childEnvironment);

    // O_APPEND: every write of ours and of the child lands at the end, after earlier runs.
    // O_NOFOLLOW: a link put in its place since it was prepared is not followed either.
    auto log = std::make_shared<QFile>(logPath.value());
    const int logFd = ::open(QFile::encodeName(logPath.value()).constData(),
                             O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (logFd < 0 ||
        !log->open(logFd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        const QString reason = logFd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : log->errorString();
        if (logFd >= 0)
            ::close(logFd);
        return CoreServiceError::fileSystem(
            QStringLiteral("打开“%1”失败（%2）").arg(logPath.value(), reason));
    }

    // Qt gives the child no pipes for output (forwarded channels); after the fork the
    // modifier puts the log descriptor onto both standard output and standard error, and
    // gives the child a session of its own (it outlives razo, so razo's terminal must not
    // interrupt or hang it up). Only async-signal-safe calls here. The log was opened
    // close-on-exec, so a descriptor that already is 1 or 2 must lose that flag instead of
    // being duplicated onto itself.
    const int logDescriptor = log->handle();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setChildProcessModifier([logDescriptor] {
        ::setsid();
        for (int target : {STDOUT_FILENO, STDERR_FILENO}) {
            if (logDescriptor == target)
                ::fcntl(target, F_SETFD, 0);
            else
                ::dup2(logDescriptor, target);
        }
    });
    // Termination callback: the child's end closes the handle it wrote to. A crash also
    // ends in finished().
    QObject::connect(process.get(), &QProcess::finished, process.get(), [log] { log->close(); });

    process->start();
    if (!process->waitForStarted(kStartTimeoutMs)) {
        const QString program = process->program();
        const QString reason = process->errorString();
        qCWarning(lcCore) << "core launch failed:" << program << reason;
        if (process->state() != QProcess::NotRunning)
            process->kill();
        release(process.release());
        return CoreServiceError::launch(QStringLiteral("%1（%2）").arg(program, reason));
    }

    qCInfo(lcCore) << "core launched:" << process->program() << "pid" << process->processId() << "in"
                   << projectDirectory;
    release(m_process);
    m_process = process.release();
    m_processId = m_process->processId();
    if (m_logHandle)
        m_logHandle->close();
    m_logHandle = std::move(log);
    return std::nullopt;
}

void CoreService::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning)
        m_process->terminate();
    release(m_process);
    m_process = nullptr;
    if (m_logHandle) {
        m_logHandle->close();
        m_logHandle.reset();
    }
}

void CoreService::leave()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning)
        qCInfo(lcCore) << "core left running: pid" << m_processId;
    release(m_process);
    m_process = nullptr;
    // The child writes through descriptors of its own; only this process's handle closes.
    if (m_logHandle) {
        m_logHandle->close();
        m_logHandle.reset();
    }
}

std::optional<qint64> CoreService::processId() const
{
    if (!m_process)
        return std::nullopt;
    return m_processId;
}

bool CoreService::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

bool CoreService::isLogOpen() const
{
    return m_logHandle && m_logHandle->isOpen();
}

void CoreService::release(QProcess* process)
{
    if (!process)
        return;
    if (process->state() == QProcess::NotRunning) {
        delete process;
        return;
    }
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
}

Result<QString, CoreServiceError> CoreService::resolveProjectRoot(const CoreEnvironment& environment)
{
    if (const auto packagedCore = bundledHelperURL(environment))
        return QFileInfo(*packagedCore).path();

    const QString fromVariable = environment.environment.value(kProjectDirVariable);
    if (!fromVariable.isEmpty())
        return fromVariable;

    if (environment.resourcesDirectory) {
        if (auto fromPointer = readPointerFile(joinPath(*environment.resourcesDirectory, kPointerFile)))
            return *fromPointer;
    }

    QStringList starts{environment.currentDirectory, environment.applicationDirectory};
    if (environment.resourcesDirectory)
        starts << *environment.resourcesDirectory;
    for (const QString& start : starts) {
        if (auto found = walkUp(start))
            return *found;
    }
    return CoreServiceError::projectRootNotFound();
}

std::optional<QString> CoreService::bundledHelperURL(const CoreEnvironment& environment)
{
    if (!environment.resourcesDirectory)
        return std::nullopt;
    const QString candidate =
        joinPath(joinPath(*environment.resourcesDirectory, kPackagedCore), kPackagedCore);
    const QFileInfo info(candidate);
    // A folder or a file without execute permission cannot be launched.
    if (info.isFile() && info.isExecutable())
        return candidate;
    return std::nullopt;
}

Result<QString, CoreServiceError> CoreService::prepareLogFile(const CoreEnvironment& environment)
{
    const QString supportDirectory = environment.homeDirectory + kSupportSuffix;
    std::error_code error;
    const std::filesystem::path folder(QFile::encodeName(supportDirectory).toStdString());
    if (std::filesystem::create_directories(folder, error)) // a new folder is the user's alone
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
    if (error)
        return CoreServiceError::fileSystem(
            QStringLiteral("创建目录“%1”失败（%2）")
                .arg(supportDirectory, QString::fromLocal8Bit(error.message())));

    // The log may quote what the core was sent: it is the user's alone, whatever an older razo
    // left (the core makes the folder and its other files private when it starts). A link in
    // its place is refused, never followed.
    const QString logPath = joinPath(supportDirectory, kLogName);
    const QByteArray encoded = QFile::encodeName(logPath);
    struct stat info
    {
    };
    if (::lstat(encoded.constData(), &info) == 0 && S_ISLNK(info.st_mode))
        return CoreServiceError::fileSystem(QStringLiteral("“%1”是符号链接，已拒绝使用").arg(logPath));
    const int fd =
        ::open(encoded.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd >= 0) { // a failure shows when the log is opened
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 077) &&
            info.st_uid == ::geteuid())
            ::fchmod(fd, info.st_mode & 0700);
        ::close(fd);
    }
    return logPath;
}
