#include "core/CoreServiceError.h"

#include <QStringList>

CoreServiceError CoreServiceError::projectRootNotFound()
{
    return CoreServiceError();
}

CoreServiceError CoreServiceError::fileSystem(const QString& detail)
{
    CoreServiceError error;
    error.m_kind = Kind::FileSystem;
    error.m_detail = detail;
    return error;
}

CoreServiceError CoreServiceError::launch(const QString& detail)
{
    CoreServiceError error;
    error.m_kind = Kind::Launch;
    error.m_detail = detail;
    return error;
}

CoreServiceError CoreServiceError::foreignCore(quint16 port, const QList<uint>& uids)
{
    QStringList names;
    for (uint uid : uids)
        names << QString::number(uid);
    CoreServiceError error;
    error.m_kind = Kind::ForeignCore;
    error.m_detail =
        QStringLiteral("端口 %1 被本机另一个账户（uid %2）占用，razo 不会使用它，也不会向它发送任何内容。")
            .arg(port)
            .arg(names.join(QStringLiteral("、")));
    return error;
}

CoreServiceError CoreServiceError::unknownCoreOwner(quint16 port)
{
    CoreServiceError error;
    error.m_kind = Kind::UnknownCoreOwner;
    error.m_detail =
        QStringLiteral("无法确认端口 %1 上的程序属于当前账户，razo 不会使用它，也不会向它发送任何内容。")
            .arg(port);
    return error;
}

QString CoreServiceError::description() const
{
    switch (m_kind) {
    case Kind::ProjectRootNotFound:
        return QStringLiteral("没有找到 msgrelay 项目目录，无法启动本地核心服务。");
    case Kind::FileSystem:
        return QStringLiteral("无法准备本地核心的日志文件：%1。").arg(m_detail);
    case Kind::Launch:
        return QStringLiteral("无法启动本地核心服务：%1。").arg(m_detail);
    case Kind::ForeignCore:
    case Kind::UnknownCoreOwner:
        return m_detail;
    }
    return {};
}
