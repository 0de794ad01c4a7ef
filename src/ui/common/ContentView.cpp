#include "ui/common/ContentView.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/BorderedButton.h"
#include "ui/common/SectionViews.h"
#include "ui/common/SidebarView.h"
#include "ui/common/ToastView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPalette>
#include <QSplitter>
#include <QVBoxLayout>

ContentView::ContentView(BridgeStore& store, QWidget* parent) : QWidget(parent), m_store(store)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("contentView"));
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    m_split = new QSplitter(Qt::Horizontal, this);
    m_split->setObjectName(QStringLiteral("splitView"));
    m_split->setChildrenCollapsible(false);
    m_split->setHandleWidth(1);
    root->addWidget(m_split);

    m_sidebar = new SidebarView(store, m_split);
    m_split->addWidget(m_sidebar);

    m_detail = new QWidget(m_split);
    m_detail->setObjectName(QStringLiteral("detail"));
    m_detail->setAutoFillBackground(true);
    QPalette pal = m_detail->palette();
    pal.setColor(QPalette::Window, windowBackground());
    m_detail->setPalette(pal);
    auto* detailCol = new QVBoxLayout(m_detail);
    detailCol->setContentsMargins(0, 0, 0, 0);
    detailCol->setSpacing(0);

    // Toolbar: the two actions at the trailing end.
    auto* toolbar = new QWidget(m_detail);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setAccessibleName(QStringLiteral("工具栏"));
    auto* bar = new QHBoxLayout(toolbar);
    bar->setContentsMargins(Metrics::pagePaddingH, 12, 20, 0);
    bar->setSpacing(8);
    bar->addStretch(1);
    m_refresh = new BorderedButton(QStringLiteral("刷新"), QStringLiteral("arrow.clockwise"), toolbar);
    m_refresh->setObjectName(QStringLiteral("toolbarRefresh"));
    m_refresh->setToolTip(QStringLiteral("刷新（Ctrl+R）"));
    m_configDir = new BorderedButton(QStringLiteral("配置目录"), QStringLiteral("folder"), toolbar);
    m_configDir->setObjectName(QStringLiteral("toolbarConfigDir"));
    m_configDir->setToolTip(QStringLiteral("打开本地配置目录（Ctrl+,）"));
    bar->addWidget(m_refresh);
    bar->addWidget(m_configDir);
    detailCol->addWidget(toolbar);

    connect(m_refresh, &QAbstractButton::clicked, this, [this] { m_store.refreshAll(); });
    connect(m_configDir, &QAbstractButton::clicked, this, [this] { m_store.openConfigDir(); });
    auto syncRefresh = [this] { m_refresh->setEnabled(!m_store.isRefreshing()); };
    connect(&store, &BridgeStore::isRefreshingChanged, this, syncRefresh);
    syncRefresh();

    m_split->addWidget(m_detail);
    m_split->setStretchFactor(0, 0);
    m_split->setStretchFactor(1, 1);
    m_split->setSizes({Metrics::sidebarIdealWidth, 10'000});

    m_toast = new ToastView(m_detail);
    connect(&store, &BridgeStore::toastChanged, this, [this] { m_toast->setMessage(m_store.toast()); });
    m_toast->setMessage(store.toast());

    connect(&store, &BridgeStore::selectedSectionChanged, this, &ContentView::showSelectedSection);
    showSelectedSection();
}

void ContentView::showSelectedSection()
{
    auto* col = static_cast<QVBoxLayout*>(m_detail->layout());
    // Focus inside the section that goes would be passed on as if Tab had been pressed, ringing
    // some other control (a sidebar row among them); the detail column holds it quietly instead.
    if (m_section && m_section->isAncestorOf(QApplication::focusWidget()))
        m_detail->setFocus(Qt::OtherFocusReason);
    if (m_section) {
        col->removeWidget(m_section);
        m_section->hide();
        m_section->deleteLater();
    }
    m_section = createSectionView(m_store.selectedSection(), m_store, m_detail);
    col->addWidget(m_section, 1);
    m_section->show();
    m_toast->raise();
}
