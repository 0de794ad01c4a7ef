#pragma once

#include <QWidget>

class BridgeStore;
class BorderedButton;
class QSplitter;
class SidebarView;
class ToastView;

// The window's root: sidebar | detail. The detail column shows the toolbar row, exactly
// one section view (built anew whenever the selected section changes) on windowBackground,
// and the toast over its bottom centre.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    explicit ContentView(BridgeStore& store, QWidget* parent = nullptr);

    SidebarView* sidebar() const { return m_sidebar; }
    QWidget* sectionView() const { return m_section; }
    ToastView* toast() const { return m_toast; }
    BorderedButton* refreshButton() const { return m_refresh; }
    BorderedButton* configDirButton() const { return m_configDir; }

private:
    void showSelectedSection();

    BridgeStore& m_store;
    QSplitter* m_split;
    SidebarView* m_sidebar;
    QWidget* m_detail;
    QWidget* m_section = nullptr;
    ToastView* m_toast;
    BorderedButton* m_refresh;
    BorderedButton* m_configDir;
};
