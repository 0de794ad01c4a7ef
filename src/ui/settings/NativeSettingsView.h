#pragma once

#include <QKeySequence>
#include <QList>
#include <QWidget>

class BridgeStore;
class QAction;
class SettingsDashboardView;

// The application settings window: a fixed 980 × 720 window showing the settings section
// with a draft of its own. One window at a time; it is deleted when closed, so each opening
// starts from the core's current values. "刷新工作台" (Ctrl+R) and "打开本地配置目录"
// (Ctrl+,) work while it is active, as in the main window.
class NativeSettingsView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kWidth = 980;
    static constexpr int kHeight = 720;

    explicit NativeSettingsView(BridgeStore& store, QWidget* parent = nullptr);

    SettingsDashboardView* dashboard() const { return m_dashboard; }

    // Opens the window (or raises the open one) and returns it.
    static NativeSettingsView* open(BridgeStore& store, QWidget* anchor = nullptr);
    // The open window, if any.
    static NativeSettingsView* current();

    // The "设置…" entry of the application menu (preferences role). It takes the platform's
    // preferences shortcut except Ctrl+, (Command-, on macOS), which stays with
    // "打开本地配置目录"; on platforms without a preferences shortcut it has none.
    static QAction* createMenuAction(BridgeStore& store, QWidget* window);
    static QList<QKeySequence> preferencesShortcuts();

private:
    SettingsDashboardView* m_dashboard;
};
