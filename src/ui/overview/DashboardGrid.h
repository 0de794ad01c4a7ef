#pragma once

#include "store/MessageListPreset.h"
#include "ui/overview/logic/DashboardContent.h"

#include <QWidget>

class AISummaryCard;
class BridgeStore;
class ImportantMessagesCard;
class MiniInsightCard;
class TodoCard;

// The cards of the overview in two columns: to-dos, important messages and the two small
// cards on the left, the AI summary (285 wide) on the right. Every card leads on to the
// timeline with its preset; the summary leads to the assistant. Recomputed from the store
// whenever the state, the messages, the refresh flag, the error or the tasks being completed
// change (once per turn of the event loop, however many of them changed).
class DashboardGrid : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kSummaryWidth = 285;
    static constexpr int kSpacing = 18;

    explicit DashboardGrid(BridgeStore* store, QWidget* parent = nullptr);

    // Recomputes at once instead of on the next turn of the event loop.
    void recompute();
    const DashboardContent& content() const { return m_content; }

    TodoCard* todoCard() const { return m_todo; }
    ImportantMessagesCard* importantCard() const { return m_important; }
    MiniInsightCard* meetingCard() const { return m_meetings; }
    MiniInsightCard* followUpCard() const { return m_followUps; }
    AISummaryCard* summaryCard() const { return m_summary; }

private:
    void scheduleRecompute();
    void openTimeline(MessageListPreset preset);

    BridgeStore* m_store;
    TodoCard* m_todo;
    ImportantMessagesCard* m_important;
    MiniInsightCard* m_meetings;
    MiniInsightCard* m_followUps;
    AISummaryCard* m_summary;
    DashboardContent m_content;
    bool m_pending = false;
};
