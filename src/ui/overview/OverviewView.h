#pragma once

#include <QScrollArea>

class BridgeStore;
class DashboardGrid;
class DashboardTopBar;

// The overview section: the top bar and the dashboard grid in a vertical scroll view on the
// window background.
class OverviewView : public QScrollArea
{
    Q_OBJECT

public:
    static constexpr int kPaddingH = 28;
    static constexpr int kPaddingV = 24;
    static constexpr int kSpacing = 18;

    explicit OverviewView(BridgeStore* store, QWidget* parent = nullptr);

    DashboardTopBar* topBar() const { return m_topBar; }
    DashboardGrid* grid() const { return m_grid; }

private:
    DashboardTopBar* m_topBar;
    DashboardGrid* m_grid;
};
