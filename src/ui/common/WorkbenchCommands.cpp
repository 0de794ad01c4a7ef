#include "ui/common/WorkbenchCommands.h"

#include "store/BridgeStore.h"

#include <QAction>
#include <QApplication>
#include <QWidget>

namespace workbenchcommands {

namespace {
// A window-wide command that stays out of the platform's application menu roles.
QAction* command(const QString& text, const QString& name, const QKeySequence& key, QWidget* window)
{
    auto* action = new QAction(text, window);
    action->setObjectName(name);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setMenuRole(QAction::NoRole);
    return action;
}
} // namespace

QAction* refresh(BridgeStore& store, QWidget* window)
{
    QAction* action = command(QStringLiteral("刷新工作台"), QStringLiteral("refreshWorkbench"),
                              QKeySequence(Qt::CTRL | Qt::Key_R), window);
    QObject::connect(action, &QAction::triggered, window, [&store] { store.refreshAll(); });
    return action;
}

QAction* openConfigDir(BridgeStore& store, QWidget* window)
{
    QAction* action = command(QStringLiteral("打开本地配置目录"), QStringLiteral("openConfigDir"),
                              QKeySequence(Qt::CTRL | Qt::Key_Comma), window);
    QObject::connect(action, &QAction::triggered, window, [&store] { store.openConfigDir(); });
    return action;
}

QAction* quit(QWidget* window)
{
    QAction* action = command(QStringLiteral("退出"), QStringLiteral("quitRazo"),
                              QKeySequence(Qt::CTRL | Qt::Key_Q), window);
    action->setMenuRole(QAction::QuitRole);
    QObject::connect(action, &QAction::triggered, window, [] {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    return action;
}

} // namespace workbenchcommands
