#pragma once

#include <QWidget>

class BridgeStore;
class DashboardIconButton;
class GradientLabel;
class QLabel;

// The overview's greeting: "今天 · <date>" in the brand gradient, one status line, and three
// round buttons (refresh, search the messages, settings).
class DashboardTopBar : public QWidget
{
    Q_OBJECT

public:
    explicit DashboardTopBar(BridgeStore* store, QWidget* parent = nullptr);

    QString titleText() const;
    QString statusText() const;
    DashboardIconButton* refreshButton() const { return m_refresh; }
    DashboardIconButton* searchButton() const { return m_search; }
    DashboardIconButton* settingsButton() const { return m_settings; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void updateStatus();
    void updateTitle();

    BridgeStore* m_store;
    GradientLabel* m_title;
    QLabel* m_status;
    DashboardIconButton* m_refresh;
    DashboardIconButton* m_search;
    DashboardIconButton* m_settings;
};
