#pragma once

#include <QList>
#include <QString>

// Launcher failures. `ProjectRootNotFound` is also what the store's wait for the core
// reports when every poll got an answer other than 200.
class CoreServiceError
{
public:
    enum class Kind {
        ProjectRootNotFound, // "没有找到 msgrelay 项目目录，无法启动本地核心服务。"
        FileSystem,          // support directory or log file could not be prepared
        Launch,              // the child process could not be started
        ForeignCore,         // the core's port is held by another account of this machine
        UnknownCoreOwner,    // the owner of the program on the core's port cannot be found
    };

    static CoreServiceError projectRootNotFound();
    static CoreServiceError fileSystem(const QString& detail);
    static CoreServiceError launch(const QString& detail);
    static CoreServiceError foreignCore(quint16 port, const QList<uint>& uids);
    static CoreServiceError unknownCoreOwner(quint16 port);

    Kind kind() const { return m_kind; }
    QString description() const;

private:
    Kind m_kind = Kind::ProjectRootNotFound;
    QString m_detail;
};
