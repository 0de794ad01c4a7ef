#pragma once

#include <QScrollArea>

class BridgeStore;
class DashboardGrid;
class DashboardTopBar;
class ProfilePromptButton;

// The overview section: the top bar, the prompt for the user's name (while the core cannot
// tell which messages are for the user) and the dashboard grid in a vertical scroll view on
// the window background.
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
    ProfilePromptButton* profilePrompt() const { return m_profilePrompt; }

private:
    DashboardTopBar* m_topBar;
    DashboardGrid* m_grid;
    ProfilePromptButton* m_profilePrompt;
};
