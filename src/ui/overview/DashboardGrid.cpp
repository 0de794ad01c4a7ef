#include "ui/overview/DashboardGrid.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/overview/AISummaryCard.h"
#include "ui/overview/ImportantMessagesCard.h"
#include "ui/overview/MiniInsightCard.h"
#include "ui/overview/TodoCard.h"
#include "ui/overview/logic/DashboardDerivations.h"

#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

DashboardGrid::DashboardGrid(BridgeStore* store, QWidget* parent)
    : QWidget(parent), m_store(store), m_todo(new TodoCard(this)),
      m_important(new ImportantMessagesCard(this)),
      m_meetings(new MiniInsightCard(QStringLiteral("meeting"), QStringLiteral("会议记录"),
                                     AppTheme::primaryAccent(), this)),
      m_followUps(new MiniInsightCard(QStringLiteral("followUp"), QStringLiteral("稍后处理"),
                                      AppTheme::warningAccent(), this)),
      m_summary(new AISummaryCard(this))
{
    setObjectName(QStringLiteral("dashboardGrid"));

    auto* minis = new QHBoxLayout;
    minis->setContentsMargins(0, 0, 0, 0);
    minis->setSpacing(kSpacing);
    minis->addWidget(m_meetings, 1);
    minis->addWidget(m_followUps, 1);

    auto* left = new QVBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(kSpacing);
    left->addWidget(m_todo);
    left->addWidget(m_important);
    left->addLayout(minis);
    left->addStretch(1);

    m_summary->setFixedWidth(kSummaryWidth);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kSpacing);
    row->addLayout(left, 1);
    row->addWidget(m_summary, 0, Qt::AlignTop);

    connect(m_todo, &TodoCard::openDetails, this, [this] { openTimeline(MessageListPreset::Todo); });
    connect(m_important, &ImportantMessagesCard::openDetails, this,
            [this] { openTimeline(MessageListPreset::Important); });
    connect(m_meetings, &MiniInsightCard::openDetails, this,
            [this] { openTimeline(MessageListPreset::Meeting); });
    connect(m_followUps, &MiniInsightCard::openDetails, this,
            [this] { openTimeline(MessageListPreset::FollowUp); });
    connect(m_todo, &TodoCard::completeTask, this, [this](const DashboardTask& task) {
        if (!m_store->completingTaskIds().contains(task.rawText))
            m_store->completeTask(task.rawText, task.rawText); // runs on; the store tracks it
    });
    connect(m_summary, &AISummaryCard::openAssistant, this,
            [this] { m_store->setSelectedSection(AppSection::Chat); });
    connect(m_summary, &AISummaryCard::refresh, this, [this] { m_store->refreshAll(); });

    for (auto signal :
         {&BridgeStore::stateChanged, &BridgeStore::eventsChanged, &BridgeStore::isRefreshingChanged,
          &BridgeStore::lastErrorChanged, &BridgeStore::completingTaskIdsChanged})
        connect(m_store, signal, this, &DashboardGrid::scheduleRecompute);
    recompute();
}

void DashboardGrid::openTimeline(MessageListPreset preset)
{
    m_store->setMessageListPreset(preset);
    m_store->setSelectedSection(AppSection::Messages);
}

void DashboardGrid::scheduleRecompute()
{
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_pending)
            recompute();
    });
}

void DashboardGrid::recompute()
{
    m_pending = false;
    m_content = dashboard::derive(m_store->state(), m_store->events());
    m_todo->setItems(m_content.todoItems, m_store->completingTaskIds(), m_content.todoCount);
    m_important->setEvents(m_content.importantEvents, m_content.importantCount);
    m_meetings->setRows(m_content.meetingRows, m_content.meetingCount);
    m_followUps->setRows(m_content.followUpItems, m_content.followUpCount);
    m_summary->setValues(m_content.attentionCount, m_content.todoCount, m_content.followUpCount,
                         m_content.suggestionItems, m_store->isRefreshing());
    updateGeometry();
}
