#pragma once

#include "core/CoreEnvironment.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTemporaryDir>

// A temporary tree for launcher tests: project directories and packaged cores that run the
// fake core of tests/support/fakecore (see fakecore.py for its modes), a home directory
// under the tree, and the facts that point a CoreService at all of it. Paths are relative
// to the root; "@" in test data stands for the root. Set-up failures are QVERIFY failures,
// so check QTest::currentTestFailed() after building the tree.
class FakeCoreSandbox
{
public:
    FakeCoreSandbox();

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_root; }
    QString path(const QString& relative) const;
    QString expand(QString text) const { return text.replace(u'@', m_root); }

    void makeDir(const QString& relative) const;
    void writeFile(const QString& relative, const QByteArray& bytes) const;
    // <relative>/msgrelay/cli.py: the walk's marker, run by python3 as msgrelay.cli.
    void makeProject(const QString& relative) const;
    // <resources>/QuillmereCore/QuillmereCore, with or without execute permission.
    void makePackagedCore(const QString& resources, bool executable) const;

    // Home = <root>/home; this process's environment minus the variables the launcher and
    // the fake core look at.
    CoreEnvironment environment(const QString& cwd, const QString& appDir, const QString& resources) const;

    // File the fake core appends its JSON lines to (name it in RAZO_FAKE_CORE_RECORD).
    QString recordPath() const { return path(QStringLiteral("record.jsonl")); }
    // The complete lines written so far: one per launch, plus noted termination requests.
    QList<QJsonObject> records() const;
    QString logPath() const;

    static QByteArray readFile(const QString& path);
    // No process with this id exists any more, not even a zombie.
    static bool processGone(qint64 pid);
    // The process exists and has not exited.
    static bool processAlive(qint64 pid);

private:
    void copyFakeCore(const QString& fileName, const QString& relative) const;

    QTemporaryDir m_dir;
    QString m_root;
};
