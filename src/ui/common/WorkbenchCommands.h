#pragma once

class BridgeStore;
class QAction;
class QWidget;

// The two commands of the application menu, as actions owned by `window` that answer their
// shortcuts while that window is active: every window of razo takes them (the main window's
// menu and the settings window alike), and each calls the one store.
namespace workbenchcommands {

// "刷新工作台", Ctrl+R (Command-R on macOS): a full refresh.
QAction* refresh(BridgeStore& store, QWidget* window);
// "打开本地配置目录", Ctrl+, (Command-, on macOS): the core opens its configuration folder.
QAction* openConfigDir(BridgeStore& store, QWidget* window);
// "退出", Ctrl+Q (Command-Q on macOS): closes every window and quits razo. The core keeps
// running, as when the last window closes.
QAction* quit(QWidget* window);

} // namespace workbenchcommands
