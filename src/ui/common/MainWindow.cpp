#include "ui/common/MainWindow.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/BrandMark.h"
#include "ui/common/ContentView.h"
#include "ui/common/WorkbenchCommands.h"
#include "ui/common/logic/WindowFit.h"
#include "ui/settings/NativeSettingsView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>

MainWindow::MainWindow(BridgeStore& store, QWidget* parent) : QMainWindow(parent), m_store(store)
{
    using namespace AppTheme::Metrics;
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("razo"));
    setAccessibleName(QStringLiteral("razo"));
    setWindowIcon(BrandMark::appIcon());
    fitTo(screen());
    if (const QScreen* s = screen()) {
        QRect r(QPoint(), windowfit::boundedBy(defaultSize(), s->availableGeometry().size()));
        r.moveCenter(s->availableGeometry().center());
        setGeometry(r);
    } else {
        resize(defaultSize());
    }

    m_content = new ContentView(store, this);
    setCentralWidget(m_content);

    // Application menu: the two commands, in this order.
    QMenu* appMenu = menuBar()->addMenu(QStringLiteral("razo"));
    appMenu->setObjectName(QStringLiteral("appMenu"));
    m_refreshAction = workbenchcommands::refresh(m_store, this);
    m_openConfigAction = workbenchcommands::openConfigDir(m_store, this);
    appMenu->addAction(m_refreshAction);
    appMenu->addAction(m_openConfigAction);

    // The application settings window ("设置…", preferences role). Ctrl+, stays above.
    appMenu->addAction(NativeSettingsView::createMenuAction(m_store, this));
    appMenu->addSeparator();
    m_quitAction = workbenchcommands::quit(this);
    appMenu->addAction(m_quitAction);

    // Ctrl+1..4 select the sections (the sidebar tooltips name them).
    const QList<AppSection> sections = appsection::all();
    for (int i = 0; i < sections.size(); ++i) {
        auto* a = new QAction(appsection::title(sections[i]), this);
        a->setObjectName(QStringLiteral("select_") + appsection::identifier(sections[i]));
        a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));
        a->setShortcutContext(Qt::WindowShortcut);
        const AppSection s = sections[i];
        connect(a, &QAction::triggered, this, [this, s] { m_store.setSelectedSection(s); });
        addAction(a);
    }
}

QSize MainWindow::designedMinimumSize()
{
    return {AppTheme::Metrics::windowMinWidth, AppTheme::Metrics::windowMinHeight};
}

QSize MainWindow::defaultSize()
{
    return {1280, 840};
}

void MainWindow::fitTo(const QScreen* screen)
{
    if (!screen)
        return;
    const QSize frame = frameGeometry().size() - geometry().size();
    setMinimumSize(windowfit::boundedBy(designedMinimumSize(), screen->availableGeometry().size() - frame));
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    fitTo(screen()); // another screen, or the frame is known now
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    fitTo(screen());
    // Each showing of the window (not a restore from the dock or task bar) runs start-up.
    if (!event->spontaneous()) {
        ++m_startCount;
        m_store.start();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    // The settings window belongs to the workbench: closing the last main window closes it
    // too, so that razo quits instead of running on without a main window.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible() && qobject_cast<MainWindow*>(w))
            return;
    }
    if (NativeSettingsView* settings = NativeSettingsView::current())
        settings->close();
}
