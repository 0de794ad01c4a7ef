#include "ui/common/WorkbenchCommands.h"

#include "store/BridgeStore.h"

#include <QAction>
#include <QWidget>

namespace workbenchcommands {

QAction* refresh(BridgeStore& store, QWidget* window)
{
    auto* action = new QAction(QStringLiteral("刷新工作台"), window);
    action->setObjectName(QStringLiteral("refreshWorkbench"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setMenuRole(QAction::NoRole);
    QObject::connect(action, &QAction::triggered, window, [&store] { store.refreshAll(); });
    return action;
}

QAction* openConfigDir(BridgeStore& store, QWidget* window)
{
    auto* action = new QAction(QStringLiteral("打开本地配置目录"), window);
    action->setObjectName(QStringLiteral("openConfigDir"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setMenuRole(QAction::NoRole);
    QObject::connect(action, &QAction::triggered, window, [&store] { store.openConfigDir(); });
    return action;
}

} // namespace workbenchcommands
