#include "FakeCoreSandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace {
const QString kFakeCoreDir = QStringLiteral(RAZO_SOURCE_DIR "/tests/support/fakecore");
}

FakeCoreSandbox::FakeCoreSandbox() : m_root(QFileInfo(m_dir.path()).canonicalFilePath()) {}

QString FakeCoreSandbox::path(const QString& relative) const
{
    return relative.isEmpty() ? m_root : m_root + u'/' + relative;
}

void FakeCoreSandbox::makeDir(const QString& relative) const
{
    QVERIFY(QDir().mkpath(path(relative)));
}

void FakeCoreSandbox::writeFile(const QString& relative, const QByteArray& bytes) const
{
    QVERIFY(QDir().mkpath(QFileInfo(path(relative)).path()));
    QFile file(path(relative));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

void FakeCoreSandbox::makeProject(const QString& relative) const
{
    makeDir(relative + QStringLiteral("/msgrelay"));
    copyFakeCore(QStringLiteral("fakecore.py"), relative + QStringLiteral("/msgrelay/cli.py"));
}

void FakeCoreSandbox::makePackagedCore(const QString& resources, bool executable) const
{
    const QString folder = resources + QStringLiteral("/QuillmereCore");
    makeDir(folder);
    copyFakeCore(QStringLiteral("fakecore.py"), folder + QStringLiteral("/fakecore.py"));
    copyFakeCore(QStringLiteral("QuillmereCore"), folder + QStringLiteral("/QuillmereCore"));
    QFile::Permissions permissions =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (executable)
        permissions |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(path(folder + QStringLiteral("/QuillmereCore")), permissions));
}

CoreEnvironment FakeCoreSandbox::environment(const QString& cwd, const QString& appDir,
                                             const QString& resources) const
{
    CoreEnvironment facts;
    facts.homeDirectory = path(QStringLiteral("home"));
    facts.currentDirectory = path(cwd);
    facts.applicationDirectory = path(appDir);
    if (!resources.isEmpty())
        facts.resourcesDirectory = path(resources);
    facts.environment = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"QUILLMERE_PROJECT_DIR", "QUILLMERE_BUNDLED_CORE", "PYTHONPATH", "RAZO_FAKE_CORE_MODE",
          "RAZO_FAKE_CORE_RECORD", "RAZO_FAKE_CORE_PROGRAM", "RAZO_EXECUTABLE"})
        facts.environment.remove(QString::fromLatin1(name));
    return facts;
}

QList<QJsonObject> FakeCoreSandbox::records() const
{
    QList<QJsonObject> result;
    const QList<QByteArray> lines = readFile(recordPath()).split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) // what follows the last newline is incomplete
        result << QJsonDocument::fromJson(lines[i]).object();
    return result;
}

QString FakeCoreSandbox::logPath() const
{
    return path(QStringLiteral("home/Library/Application Support/Quillmere/native-core.log"));
}

QByteArray FakeCoreSandbox::readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool FakeCoreSandbox::processGone(qint64 pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH;
}

bool FakeCoreSandbox::processAlive(qint64 pid)
{
    // The state letter follows the parenthesised command name; Z is an exited child not yet reaped.
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 && stat.size() > close + 2 && stat.at(close + 2) != 'Z';
}

void FakeCoreSandbox::copyFakeCore(const QString& fileName, const QString& relative) const
{
    QFile::remove(path(relative));
    QVERIFY(QFile::copy(kFakeCoreDir + u'/' + fileName, path(relative)));
}
