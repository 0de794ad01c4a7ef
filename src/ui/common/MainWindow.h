#pragma once

#include <QMainWindow>

class BridgeStore;
class ContentView;
class QAction;
class QScreen;

// The main window ("main", "razo", at least 1120 x 760 where the screen's available area
// holds that, otherwise as large as that area): ContentView for the shared store, the
// application menu with "刷新工作台" (Ctrl+R), "打开本地配置目录" (Ctrl+,) and "退出" (Ctrl+Q),
// and Ctrl+1..4 for the sections. Showing the window runs the store's start-up; the store and
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
    QAction* quitAction() const { return m_quitAction; }

    // The minimum on `screen`: the designed one, bounded by the screen's available area less
    // the window frame (known once the window manager has framed the window).
    void fitTo(const QScreen* screen);

    static QSize designedMinimumSize(); // 1120 x 760
    static QSize defaultSize();         // the size of a first start, where the screen holds it
    int startCount() const { return m_startCount; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    BridgeStore& m_store;
    ContentView* m_content;
    QAction* m_refreshAction;
    QAction* m_openConfigAction;
    QAction* m_quitAction;
    int m_startCount = 0;
};
