#include "ui/overview/DashboardTopBar.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/GradientLabel.h"
#include "ui/common/Labels.h"
#include "ui/messages/MessagesView.h"
#include "ui/overview/DashboardIconButton.h"
#include "ui/overview/logic/OverviewTexts.h"

#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

DashboardTopBar::DashboardTopBar(BridgeStore* store, QWidget* parent)
    : QWidget(parent), m_store(store), m_title(new GradientLabel(QString(), this)),
      m_status(labels::make(QString(), AppTheme::TextStyle::Callout, -1, AppTheme::mutedInk(), this)),
      m_refresh(new DashboardIconButton(QStringLiteral("刷新"), QStringLiteral("arrow.clockwise"), this)),
      m_search(new DashboardIconButton(QStringLiteral("搜索消息"), QStringLiteral("magnifyingglass"), this)),
      m_settings(new DashboardIconButton(QStringLiteral("设置"), QStringLiteral("slider.horizontal.3"), this))
{
    setObjectName(QStringLiteral("dashboardTopBar"));
    m_title->setObjectName(QStringLiteral("dashboardTitle"));
    m_status->setObjectName(QStringLiteral("dashboardStatus"));
    m_refresh->setObjectName(QStringLiteral("dashboardRefreshButton"));
    m_search->setObjectName(QStringLiteral("dashboardSearchButton"));
    m_settings->setObjectName(QStringLiteral("dashboardSettingsButton"));

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(5);
    texts->addWidget(m_title);
    texts->addWidget(m_status);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(9);
    buttons->addWidget(m_refresh);
    buttons->addWidget(m_search);
    buttons->addWidget(m_settings);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    row->addLayout(texts, 1);
    row->addLayout(buttons);
    row->setAlignment(buttons, Qt::AlignVCenter);

    connect(m_refresh, &QAbstractButton::clicked, this, [this] { m_store->refreshAll(); });
    connect(m_search, &QAbstractButton::clicked, this, [this] {
        m_store->setMessageListPreset(MessageListPreset::All);
        MessagesView::requestSearchFocus(); // the timeline opens with its search field focused
        m_store->setSelectedSection(AppSection::Messages);
    });
    connect(m_settings, &QAbstractButton::clicked, this,
            [this] { m_store->setSelectedSection(AppSection::Settings); });
    connect(m_store, &BridgeStore::isRefreshingChanged, this, &DashboardTopBar::updateStatus);
    connect(m_store, &BridgeStore::lastErrorChanged, this, &DashboardTopBar::updateStatus);

    updateTitle();
    updateStatus();
}

QString DashboardTopBar::titleText() const
{
    return m_title->text();
}

QString DashboardTopBar::statusText() const
{
    return m_status->text();
}

void DashboardTopBar::updateStatus()
{
    updateTitle();
    m_status->setText(overviewtext::statusLine(m_store->isRefreshing(), m_store->lastError()));
}

void DashboardTopBar::updateTitle()
{
    const QString title = overviewtext::title(QDate::currentDate(), QLocale::system());
    if (title != m_title->text())
        m_title->setText(title);
}

void DashboardTopBar::paintEvent(QPaintEvent* e)
{
    // The date is read whenever the bar is drawn, so the title turns over at midnight.
    updateTitle();
    QWidget::paintEvent(e);
}
