#include "core/BackgroundReadingState.h"

QString BackgroundReadingState::description() const
{
    if (!known)
        return QStringLiteral("正在读取登录后启动的设置…");
    if (unitEnabled)
        return QStringLiteral(
                   "已开启：登录桌面后，systemd 用户服务 %1 在后台启动本地核心，不打开 razo 也会读取消息；"
                   "退出 razo 不会停止它。")
            .arg(QStringLiteral(RAZO_CORE_UNIT));
    if (autostartInPlace)
        return QStringLiteral("已开启：登录桌面后，自动启动项在后台启动本地核心，不打开 razo 也会读取消息；"
                              "退出 razo 不会停止它。");
    const QString off =
        QStringLiteral("未开启：只在本地核心运行时读取消息，开机后、打开 razo 之前收到的消息不会被读取。");
    return route == Way::None ? off + QStringLiteral("现在无法开启：") + obstacle : off;
}
