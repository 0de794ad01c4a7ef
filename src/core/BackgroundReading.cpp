#include "core/BackgroundReading.h"

#include "common/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <QCoroProcess>

namespace {

constexpr int kReasonLength = 200;
constexpr std::chrono::milliseconds kReapTimeout{1000}; // for a killed systemctl to end

// A command line for systemctl. (Built outside the coroutines: gcc 12 cannot take string
// literals in braced lists inside one.)
template <typename... Parts> QStringList command(const Parts&... parts)
{
    return QStringList{QString(parts)...};
}

QString maskedText(const QString& unit)
{
    return QStringLiteral("%1 已被屏蔽（systemctl --user unmask %1 可以解除）。").arg(unit);
}

// One systemctl call: whether it ran, timed out, and what it said.
struct Run
{
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;
    QString out;
    QString err;

    bool succeeded() const { return started && !timedOut && exitCode == 0; }
};

// systemctl as found on the setup's PATH (not this process's), so tests can put a stand-in first.
QString findSystemctl(const QProcessEnvironment& environment)
{
    const QStringList path = environment.value(QStringLiteral("PATH")).split(u':', Qt::SkipEmptyParts);
    return path.isEmpty() ? QString() : QStandardPaths::findExecutable(QStringLiteral("systemctl"), path);
}

QCoro::Task<Run> systemctl(const BackgroundReadingSetup& setup, QStringList arguments)
{
    Run run;
    const QString program = findSystemctl(setup.environment);
    if (program.isEmpty())
        co_return run;
    QProcess process;
    process.setProgram(program);
    process.setArguments(command("--user") + arguments);
    process.setProcessEnvironment(setup.environment);
    process.setStandardInputFile(QProcess::nullDevice());
    auto call = qCoro(process);
    if (!co_await call.start(QIODevice::ReadOnly, setup.timeout))
        co_return run;
    run.started = true;
    if (!co_await call.waitForFinished(setup.timeout)) {
        run.timedOut = true;
        process.kill();
        co_await call.waitForFinished(kReapTimeout); // reaped without holding up the event loop
        co_return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    run.err = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    qCInfo(lcCore) << "systemctl --user" << arguments.join(u' ') << "->" << run.exitCode << run.out;
    co_return run;
}

// Why a systemctl call did not do its work, for the user.
QString reasonFor(const Run& run, const BackgroundReadingSetup& setup)
{
    if (!run.started)
        return QStringLiteral("找不到 systemctl，无法修改 systemd 用户服务。");
    if (run.timedOut)
        return QStringLiteral("systemctl 在 %1 秒内没有完成。").arg(double(setup.timeout.count()) / 1000.0);
    const auto says = [&run](const char* text) {
        return run.err.contains(QLatin1String(text), Qt::CaseInsensitive);
    };
    if (says("Failed to connect to bus") || says("No medium found") || says("DBUS_SESSION_BUS_ADDRESS"))
        return QStringLiteral("没有可用的 systemd 用户管理器（systemctl --user 连接不上）。");
    if (says("Permission denied") || says("Access denied") || says("Read-only file system") ||
        says("authentication required"))
        return QStringLiteral("没有权限修改 systemd 用户服务的设置。");
    if (says("masked"))
        return maskedText(setup.unitName);
    if (says("does not exist") || says("not found") || says("No such file"))
        return QStringLiteral("系统里没有 %1，请安装 razo 的软件包。").arg(setup.unitName);
    const QString first = run.err.section(u'\n', 0, 0).left(kReasonLength);
    return first.isEmpty() ? QStringLiteral("systemctl 出错（退出码 %1）。").arg(run.exitCode)
                           : QStringLiteral("systemctl 出错：%1").arg(first);
}

QString autostartPath(const BackgroundReadingSetup& setup)
{
    return setup.autostartFolder.isEmpty() ? QString() : setup.autostartFolder + u'/' + setup.autostartName;
}

// The entry counts when it is there and not hidden (Hidden=true means deleted to the session).
bool autostartInPlace(const BackgroundReadingSetup& setup)
{
    QFile file(autostartPath(setup));
    if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    static const QRegularExpression hidden(QStringLiteral("^\\s*Hidden\\s*=\\s*true\\s*$"),
                                           QRegularExpression::MultilineOption);
    return !hidden.match(QString::fromUtf8(file.read(64 * 1024))).hasMatch();
}

// Copies the entry installed with razo into the user's autostart folder; the reason on failure.
std::optional<QString> writeAutostart(const BackgroundReadingSetup& setup)
{
    QFile source(setup.autostartTemplate);
    if (!source.open(QIODevice::ReadOnly))
        return QStringLiteral("读取不到 razo 的自动启动项 %1（%2）。")
            .arg(setup.autostartTemplate, source.errorString());
    const QByteArray entry = source.readAll();
    const QString target = autostartPath(setup);
    if (!QDir().mkpath(setup.autostartFolder))
        return QStringLiteral("无法创建自动启动文件夹 %1。").arg(setup.autostartFolder);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit())
        return QStringLiteral("无法写入自动启动项 %1（%2）。").arg(target, file.errorString());
    return std::nullopt;
}

std::optional<QString> removeAutostart(const BackgroundReadingSetup& setup)
{
    QFile file(autostartPath(setup));
    if (!file.exists() || file.remove())
        return std::nullopt;
    return QStringLiteral("无法删除自动启动项 %1（%2）。").arg(file.fileName(), file.errorString());
}

// How turning it on goes, or why it cannot, once the unit's state and the session are known.
// The unit serves sessions whose user manager has reached graphical-session.target; other
// sessions (no user manager, or a desktop that does not start that target) get the entry.
void chooseRoute(BackgroundReadingState& state, const BackgroundReadingSetup& setup, bool installed,
                 bool masked, bool graphicalSession)
{
    using Way = BackgroundReadingState::Way;
    const bool entryShipped = !setup.autostartTemplate.isEmpty() &&
                              QFileInfo(setup.autostartTemplate).isFile() && !setup.autostartFolder.isEmpty();
    if (masked)
        state.obstacle = maskedText(setup.unitName);
    else if (installed && graphicalSession)
        state.route = Way::Unit;
    else if (entryShipped)
        state.route = Way::Autostart;
    else if (installed)
        state.obstacle = QStringLiteral("这个桌面会话没有运行 systemd 用户管理器，razo 的自动启动项也不在。");
    else
        state.obstacle =
            QStringLiteral("这个 razo 不是安装版（从源码目录运行），没有在登录时启动本地核心的服务；"
                           "安装 razo 的软件包后可以开启。");
}

QString readBackDiffers(bool on)
{
    return on ? QStringLiteral("开启后读回的状态仍是未开启。")
              : QStringLiteral("关闭后读回的状态仍是已开启。");
}

} // namespace

QCoro::Task<BackgroundReadingState> BackgroundReading::readWith(BackgroundReadingSetup setup)
{
    BackgroundReadingState state;
    state.known = true;
    state.autostartInPlace = autostartInPlace(setup);

    // "enabled", "disabled", "static", "masked", ...; nothing on standard output (or
    // "not-found") when the unit is not installed.
    const Run unit = co_await systemctl(setup, command("is-enabled", setup.unitName));
    const bool installed = unit.started && !unit.timedOut && !unit.out.isEmpty() && unit.out != u"not-found";
    state.unitEnabled = installed && unit.out.startsWith(u"enabled");
    const bool masked = installed && unit.out.startsWith(u"masked");

    bool graphicalSession = false;
    if (installed && !masked) {
        const Run session = co_await systemctl(setup, command("is-active", "graphical-session.target"));
        graphicalSession = session.succeeded() && session.out == u"active";
    }
    chooseRoute(state, setup, installed, masked, graphicalSession);
    co_return state;
}

QCoro::Task<BackgroundReadingState> BackgroundReading::changeWith(BackgroundReadingSetup setup, bool on)
{
    using Way = BackgroundReadingState::Way;
    const BackgroundReadingState before = co_await readWith(setup);
    std::optional<QString> failure;
    if (on && !before.enabled()) {
        if (before.route == Way::Unit) {
            const Run enable = co_await systemctl(setup, command("enable", "--now", setup.unitName));
            if (!enable.succeeded()) {
                failure = reasonFor(enable, setup);
                // enable links the unit before it starts it: a failed start leaves a link to undo.
                if ((co_await readWith(setup)).unitEnabled)
                    co_await systemctl(setup, command("disable", setup.unitName));
            }
        } else if (before.route == Way::Autostart) {
            failure = writeAutostart(setup);
        } else {
            failure = before.obstacle;
        }
    } else if (!on && before.enabled()) {
        QStringList reasons;
        if (before.unitEnabled) {
            // Only the start at login goes: a core that runs now serves on until the session ends.
            const Run disable = co_await systemctl(setup, command("disable", setup.unitName));
            if (!disable.succeeded())
                reasons << reasonFor(disable, setup);
        }
        if (const auto removeFailure = removeAutostart(setup))
            reasons << *removeFailure;
        if (!reasons.isEmpty())
            failure = reasons.join(QString());
    }

    BackgroundReadingState after = co_await readWith(setup);
    if (!failure && after.enabled() != on)
        failure = readBackDiffers(on);
    if (failure) {
        qCWarning(lcCore) << "start at login not" << (on ? "turned on:" : "turned off:") << *failure;
        after.failure = *failure;
    }
    co_return after;
}
