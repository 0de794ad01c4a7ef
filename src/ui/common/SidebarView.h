#pragma once

#include "store/AppSection.h"

#include <QList>
#include <QWidget>

class BridgeStore;
class SidebarFooterView;
class SidebarNavButton;

// The sidebar column: brand header, the four section buttons bound to the store's
// selectedSection, flexible space, the status footer. One row looks selected: only the
// selected row is a tab stop, the arrow keys move the selection, and keyboard focus in the
// sidebar follows the selection (a focus ring never stays on another row).
class SidebarView : public QWidget
{
    Q_OBJECT

public:
    explicit SidebarView(BridgeStore& store, QWidget* parent = nullptr);

    SidebarNavButton* button(AppSection section) const;
    SidebarFooterView* footer() const { return m_footer; }

protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void syncSelection();

    BridgeStore& m_store;
    QList<SidebarNavButton*> m_buttons;
    SidebarFooterView* m_footer;
};
