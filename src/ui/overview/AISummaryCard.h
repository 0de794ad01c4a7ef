#pragma once

#include "ui/common/SoftCard.h"

#include <QStringList>

class DashboardCircleButton;
class QLabel;
class SuggestionRow;

// "AI 总结", the right column of the dashboard: a count-based digest of the week, the first
// three suggestions, a button that opens the assistant and one that refreshes (a spinner
// while the refresh runs; it stays clickable).
class AISummaryCard : public SoftCard
{
    Q_OBJECT

public:
    static constexpr int kMinimumHeight = 402;
    static constexpr int kVisibleSuggestions = 3;

    explicit AISummaryCard(QWidget* parent = nullptr);

    // `attentionCount`: the messages that need the user ("有 N 条最近消息需要关注。").
    void setValues(qint64 attentionCount, int todoCount, int followUpCount, const QStringList& suggestions,
                   bool isRefreshing);

    QStringList digestTexts() const;
    QStringList suggestionTexts() const; // the visible ones
    DashboardCircleButton* assistantButton() const { return m_assistant; }
    DashboardCircleButton* refreshButton() const { return m_refresh; }

signals:
    void openAssistant();
    void refresh();

private:
    DashboardCircleButton* m_assistant;
    DashboardCircleButton* m_refresh;
    QList<QLabel*> m_digest;
    QList<SuggestionRow*> m_suggestions;
};
