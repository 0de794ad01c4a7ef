#pragma once

#include <QWidget>

class BridgeStore;
class ElidedLabel;
class IconLabel;
class QLabel;

// The service-status card at the foot of the sidebar: "本地优先", the status line (green
// check, or orange warning while lastError holds text) and the error text, at most 3 lines.
class SidebarFooterView : public QWidget
{
    Q_OBJECT

public:
    explicit SidebarFooterView(BridgeStore& store, QWidget* parent = nullptr);

    IconLabel* statusLabel() const { return m_status; }
    ElidedLabel* errorLabel() const { return m_error; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void refresh();

    BridgeStore& m_store;
    IconLabel* m_status;
    ElidedLabel* m_error;
};
