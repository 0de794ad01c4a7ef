#include "ui/overview/AISummaryCard.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/overview/DashboardCircleButton.h"
#include "ui/overview/SuggestionRow.h"
#include "ui/overview/logic/OverviewTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QVBoxLayout* column(int spacing)
{
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

AISummaryCard::AISummaryCard(QWidget* parent)
    : SoftCard(AppTheme::Radius::largeCard, 22, parent),
      m_assistant(new DashboardCircleButton(QStringLiteral("magnifyingglass"), 38, AppTheme::primaryAccent(),
                                            15, this)),
      m_refresh(
          new DashboardCircleButton(QStringLiteral("arrow.clockwise"), 32, AppTheme::mutedInk(), 12, this))
{
    using AppTheme::TextStyle;
    setObjectName(QStringLiteral("summaryCard"));
    setMinimumHeight(kMinimumHeight);
    contentLayout()->setSpacing(18);

    // Header: title and the assistant button.
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    auto* title =
        labels::make(QStringLiteral("AI 总结"), TextStyle::Title3, QFont::Bold, AppTheme::ink(), this);
    title->setObjectName(QStringLiteral("summaryTitle"));
    header->addWidget(title);
    header->addStretch(1);
    m_assistant->setObjectName(QStringLiteral("summaryAssistantButton"));
    m_assistant->setToolTip(QStringLiteral("打开消息助手"));
    m_assistant->setAccessibleName(QStringLiteral("打开消息助手"));
    connect(m_assistant, &QAbstractButton::clicked, this, &AISummaryCard::openAssistant);
    header->addWidget(m_assistant);
    contentLayout()->addLayout(header);

    // Digest: a heading and three sentences, all in the secondary colour.
    QVBoxLayout* digest = column(8);
    digest->addWidget(labels::make(QStringLiteral("今日概览"), TextStyle::Subheadline, QFont::Bold,
                                   AppTheme::secondaryText(), this));
    for (int i = 0; i < 3; ++i) {
        QLabel* sentence = labels::make(QString(), TextStyle::Callout, -1, AppTheme::secondaryText(), this);
        sentence->setObjectName(QStringLiteral("summaryDigest%1").arg(i));
        sentence->setWordWrap(true);
        digest->addWidget(sentence);
        m_digest.append(sentence);
    }
    contentLayout()->addLayout(digest);

    // Suggestions.
    QVBoxLayout* suggestions = column(8);
    suggestions->addWidget(labels::make(QStringLiteral("建议优先处理"), TextStyle::Subheadline, QFont::Bold,
                                        AppTheme::ink(), this));
    for (int i = 0; i < kVisibleSuggestions; ++i) {
        auto* row = new SuggestionRow(this);
        row->setObjectName(QStringLiteral("summarySuggestion%1").arg(i));
        row->hide();
        suggestions->addWidget(row);
        m_suggestions.append(row);
    }
    contentLayout()->addLayout(suggestions);

    contentLayout()->addStretch(1);

    // Footer: where the digest comes from, and the refresh button.
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(0, 0, 0, 0);
    footer->addWidget(labels::make(QStringLiteral("基于本机最近 7 天消息生成"), TextStyle::Caption, -1,
                                   AppTheme::secondaryText(), this));
    footer->addStretch(1);
    m_refresh->setObjectName(QStringLiteral("summaryRefreshButton"));
    m_refresh->setToolTip(QStringLiteral("刷新 AI 总结"));
    m_refresh->setAccessibleName(QStringLiteral("刷新 AI 总结"));
    connect(m_refresh, &QAbstractButton::clicked, this, &AISummaryCard::refresh);
    footer->addWidget(m_refresh);
    contentLayout()->addLayout(footer);

    setValues(0, 0, 0, {}, false);
}

void AISummaryCard::setValues(qint64 attentionCount, int todoCount, int followUpCount,
                              const QStringList& suggestions, bool isRefreshing)
{
    const QStringList sentences = overviewtext::digestSentences(attentionCount, todoCount, followUpCount);
    for (int i = 0; i < m_digest.size(); ++i)
        m_digest.at(i)->setText(sentences.at(i));
    for (int i = 0; i < m_suggestions.size(); ++i) {
        SuggestionRow* row = m_suggestions.at(i);
        row->setVisible(i < suggestions.size());
        if (i < suggestions.size())
            row->setText(suggestions.at(i));
    }
    m_refresh->setBusy(isRefreshing);
    updateGeometry(); // cached size hints of the enclosing layouts are stale now
}

QStringList AISummaryCard::digestTexts() const
{
    QStringList out;
    for (const QLabel* l : m_digest)
        out.append(l->text());
    return out;
}

QStringList AISummaryCard::suggestionTexts() const
{
    QStringList out;
    for (const SuggestionRow* row : m_suggestions) {
        if (!row->isHidden())
            out.append(row->text());
    }
    return out;
}
