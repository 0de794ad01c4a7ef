#include "core/CoreServiceError.h"

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

QString CoreServiceError::description() const
{
    switch (m_kind) {
    case Kind::ProjectRootNotFound:
        return QStringLiteral("没有找到 msgrelay 项目目录，无法启动本地核心服务。");
    case Kind::FileSystem:
        return QStringLiteral("无法准备本地核心的日志文件：%1。").arg(m_detail);
    case Kind::Launch:
        return QStringLiteral("无法启动本地核心服务：%1。").arg(m_detail);
    }
    return {};
}
