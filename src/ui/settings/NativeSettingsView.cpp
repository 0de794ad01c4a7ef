#include "ui/settings/NativeSettingsView.h"

#include "ui/common/AppTheme.h"
#include "ui/common/WorkbenchCommands.h"
#include "ui/settings/SettingsDashboardView.h"

#include <QAction>
#include <QPointer>
#include <QVBoxLayout>

namespace {

QPointer<NativeSettingsView>& openWindow()
{
    static QPointer<NativeSettingsView> window;
    return window;
}

} // namespace

NativeSettingsView::NativeSettingsView(BridgeStore& store, QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("nativeSettingsView"));
    setWindowTitle(QStringLiteral("设置"));
    setAccessibleName(QStringLiteral("设置"));
    setFixedSize(kWidth, kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_dashboard =
        new SettingsDashboardView(store, this, false); // the section opens at places, not this window
    layout->addWidget(m_dashboard);
    // The menu's two commands answer their shortcuts here too.
    addAction(workbenchcommands::refresh(store, this));
    addAction(workbenchcommands::openConfigDir(store, this));
    addAction(workbenchcommands::quit(this));
}

NativeSettingsView* NativeSettingsView::open(BridgeStore& store, QWidget* anchor)
{
    QPointer<NativeSettingsView>& window = openWindow();
    if (!window) {
        window = new NativeSettingsView(store);
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (anchor) {
            const QRect frame = anchor->window()->frameGeometry();
            window->move(frame.center() - QPoint(kWidth / 2, kHeight / 2));
        }
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

NativeSettingsView* NativeSettingsView::current()
{
    return openWindow();
}

QList<QKeySequence> NativeSettingsView::preferencesShortcuts()
{
    const QKeySequence configDir(Qt::CTRL | Qt::Key_Comma);
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Preferences);
    keys.removeIf([&](const QKeySequence& k) { return k.isEmpty() || k == configDir; });
    return keys;
}

QAction* NativeSettingsView::createMenuAction(BridgeStore& store, QWidget* window)
{
    auto* action = new QAction(QStringLiteral("设置…"), window);
    action->setObjectName(QStringLiteral("openSettingsWindowAction"));
    action->setMenuRole(QAction::PreferencesRole);
    action->setShortcuts(preferencesShortcuts());
    QObject::connect(action, &QAction::triggered, window, [&store, window] { open(store, window); });
    return action;
}
