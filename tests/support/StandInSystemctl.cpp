#include "StandInSystemctl.h"

#include <QDir>
#include <QFile>

namespace {

const char* const kScript = R"(#!/bin/sh
# Stand-in systemctl (see StandInSystemctl.h).
state="$(dirname "$0")/../state"
if [ "$1" != --user ]; then echo "not a --user call: $*" >> "$state/calls"; exit 64; fi
shift
echo "$*" >> "$state/calls"
has() { [ -e "$state/$1" ]; }
case "$1" in
is-enabled)
    has installed || { echo "Failed to get unit file state for $2: No such file or directory" >&2; exit 1; }
    if has masked; then echo masked; exit 1; fi
    if has enabled; then echo enabled; exit 0; fi
    echo disabled; exit 1 ;;
is-active)
    if has no-manager; then echo "Failed to connect to bus: No medium found" >&2; exit 1; fi
    if has session; then echo active; exit 0; fi
    echo inactive; exit 3 ;;
enable|disable)
    if has hang; then exec sleep 30; fi
    if has refuse; then cat "$state/refuse" >&2; exit 1; fi
    if [ "$1" = disable ]; then rm -f "$state/enabled"; exit 0; fi
    touch "$state/enabled"
    if has start-fails; then echo "Job for $3 failed because the control process exited with error code." >&2; exit 1; fi
    exit 0 ;;
esac
exit 64
)";

} // namespace

StandInSystemctl::StandInSystemctl()
{
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("bin"));
    root.mkpath(QStringLiteral("state"));
    root.mkpath(QStringLiteral("share/autostart"));
    QFile script(m_dir.filePath(QStringLiteral("bin/systemctl")));
    if (script.open(QIODevice::WriteOnly))
        script.write(kScript);
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile entry(autostartTemplate());
    if (entry.open(QIODevice::WriteOnly))
        entry.write(templateText());
}

void StandInSystemctl::mark(const QString& name, const QByteArray& content)
{
    QFile file(m_dir.filePath(QStringLiteral("state/") + name));
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

bool StandInSystemctl::marked(const QString& name) const
{
    return QFile::exists(m_dir.filePath(QStringLiteral("state/") + name));
}

QStringList StandInSystemctl::calls() const
{
    QFile file(m_dir.filePath(QStringLiteral("state/calls")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

BackgroundReadingSetup StandInSystemctl::setup(bool withSystemctl) const
{
    BackgroundReadingSetup setup;
    setup.autostartFolder = autostartFolder();
    setup.autostartTemplate = autostartTemplate();
    // Without it, PATH leads nowhere (this machine's own systemctl must not answer).
    setup.environment.insert(QStringLiteral("PATH"), withSystemctl ? m_dir.filePath(QStringLiteral("bin")) +
                                                                         QStringLiteral(":/usr/bin:/bin")
                                                                   : m_dir.filePath(QStringLiteral("none")));
    return setup;
}

QByteArray StandInSystemctl::templateText()
{
    return "[Desktop Entry]\nType=Application\nName=razo core\nExec=/usr/libexec/razo/razo-core\n";
}
