#include "ui/overview/OverviewView.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/overview/DashboardGrid.h"
#include "ui/overview/DashboardTopBar.h"
#include "ui/overview/ProfilePromptButton.h"
#include "ui/overview/logic/ProfilePrompt.h"

#include <QPalette>
#include <QVBoxLayout>

OverviewView::OverviewView(BridgeStore* store, QWidget* parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("overviewView"));
    setAccessibleName(QStringLiteral("首页"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("overviewContent"));
    QPalette pal = content->palette();
    pal.setColor(QPalette::Window, AppTheme::windowBackground());
    content->setPalette(pal);
    content->setAutoFillBackground(true);
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);

    m_topBar = new DashboardTopBar(store, content);
    m_profilePrompt = new ProfilePromptButton(content);
    m_grid = new DashboardGrid(store, content);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(kPaddingH, kPaddingV, kPaddingH, kPaddingV);
    column->setSpacing(kSpacing);
    column->addWidget(m_topBar);
    column->addWidget(m_profilePrompt);
    column->addWidget(m_grid);
    column->addStretch(1);
    setWidget(content);

    // The prompt for the user's name opens 个人识别 through the store.
    connect(m_profilePrompt, &QAbstractButton::clicked, store,
            [store] { store->openSettingsAt(SettingsPlace::UserProfile); });
    const auto syncPrompt = [this, store] {
        m_profilePrompt->setVisible(profileprompt::isShown(store->state()));
    };
    connect(store, &BridgeStore::stateChanged, this, syncPrompt);
    syncPrompt();
}
