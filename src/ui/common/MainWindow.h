#pragma once

#include <QMainWindow>

class BridgeStore;
class ContentView;
class QAction;

// The main window ("main", "razo", at least 1120 x 760): ContentView for the shared store,
// the application menu with "刷新工作台" (Ctrl+R) and "打开本地配置目录" (Ctrl+,), and
// Ctrl+1..4 for the sections. Showing the window runs the store's start-up; the store and
// the launcher make a repeated start-up harmless (no second core, no second timer).
// Closing the last main window closes the settings window as well, and razo quits.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(BridgeStore& store, QWidget* parent = nullptr);

    ContentView* content() const { return m_content; }
    QAction* refreshAction() const { return m_refreshAction; }
    QAction* openConfigDirAction() const { return m_openConfigAction; }
    int startCount() const { return m_startCount; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    BridgeStore& m_store;
    ContentView* m_content;
    QAction* m_refreshAction;
    QAction* m_openConfigAction;
    int m_startCount = 0;
};
